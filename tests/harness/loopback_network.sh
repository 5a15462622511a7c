# Sourced by the harness's entry scripts (wine_run.sh, with_hit_capture.sh):
# runs the calling script again inside a network namespace of its own that
# has loopback only, so that nothing it starts can reach another machine.
# Wine's server and X displays talk over Unix sockets and work there; the
# loopback servers of the harness must start inside, beside the programs.
#   enter_loopback_network "$0" "$@"
# Creating the namespace needs the right to (root, as on CI). Where the
# machine refuses, the script goes on in the machine's own network: the
# recorder that every prefix's WinINet is pointed at still refuses every
# request. SORVANE_NETWORK tells which: "loopback" or "shared".
enter_loopback_network() {
    [ -z "${SORVANE_NETWORK:-}" ] || return 0
    if unshare --net true 2>/dev/null && command -v ip >/dev/null 2>&1; then
        export SORVANE_NETWORK=loopback
        exec unshare --net -- sh -c 'ip link set lo up && exec "$@"' sh "$@"
    fi
    export SORVANE_NETWORK=shared
}
