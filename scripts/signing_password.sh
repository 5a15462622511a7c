# Sourced by scripts/sign.sh and scripts/package.sh: reads the signing
# password once, into the shell variable `password`, and takes it out of the
# environment, so that no process started afterwards inherits it.
#   SORVANE_SIGN_PASSWORD_FILE   a file whose first line is the password, or
#   SORVANE_SIGN_PASSWORD        the password itself
# Returns 1 with `password_error` set when neither gives one.
read_signing_password() {
    password="" password_error=""
    if [ -n "${SORVANE_SIGN_PASSWORD_FILE:-}" ]; then
        if [ -r "$SORVANE_SIGN_PASSWORD_FILE" ]; then
            IFS= read -r password <"$SORVANE_SIGN_PASSWORD_FILE" || true
        else
            password_error="cannot read the password file $SORVANE_SIGN_PASSWORD_FILE"
        fi
    elif [ -n "${SORVANE_SIGN_PASSWORD+set}" ]; then
        password=$SORVANE_SIGN_PASSWORD
    else
        password_error="no password: set SORVANE_SIGN_PASSWORD_FILE (a file holding it) or SORVANE_SIGN_PASSWORD"
    fi
    unset SORVANE_SIGN_PASSWORD SORVANE_SIGN_PASSWORD_FILE
    password=${password%$'\r'}
    [ -z "$password_error" ]
}
