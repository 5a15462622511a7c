; The installer's own texts in its four languages (Modern UI brings the rest).

!macro Text NAME EN DE FR RU
  LangString ${NAME} ${LANG_ENGLISH} "${EN}"
  LangString ${NAME} ${LANG_GERMAN} "${DE}"
  LangString ${NAME} ${LANG_FRENCH} "${FR}"
  LangString ${NAME} ${LANG_RUSSIAN} "${RU}"
!macroend

!insertmacro Text AlreadyRunning \
  "${PRODUCT} Setup is already running." \
  "Das Setup von ${PRODUCT} läuft bereits." \
  "L’installation de ${PRODUCT} est déjà en cours." \
  "Установка ${PRODUCT} уже запущена."
!insertmacro Text OptionsTitle \
  "Options" \
  "Optionen" \
  "Options" \
  "Параметры"
!insertmacro Text OptionsSubtitle \
  "Choose how the screensaver and the animated wallpaper start." \
  "Wählen Sie, wie Bildschirmschoner und animiertes Hintergrundbild starten." \
  "Choisissez comment l’économiseur d’écran et le fond d’écran animé démarrent." \
  "Выберите, как запускаются заставка и анимированные обои."
!insertmacro Text YourAccount \
  "Your account" \
  "Ihr Benutzerkonto" \
  "Votre compte" \
  "Ваша учётная запись"
!insertmacro Text ScreensaverOption \
  "Make ${PRODUCT} the active screensaver" \
  "${PRODUCT} als Bildschirmschoner verwenden" \
  "Utiliser ${PRODUCT} comme économiseur d’écran" \
  "Сделать ${PRODUCT} текущей заставкой"
!insertmacro Text WallpaperOption \
  "Start the animated wallpaper when I log on" \
  "Animiertes Hintergrundbild bei der Anmeldung starten" \
  "Démarrer le fond d’écran animé à l’ouverture de session" \
  "Запускать анимированные обои при входе в систему"
!insertmacro Text PerUserSkipped \
  "Setup runs as $InstallingUser while $LoggedOnUser is logged on: these choices are left to $LoggedOnUser." \
  "Das Setup läuft als $InstallingUser, angemeldet ist $LoggedOnUser: Diese Einstellungen bleiben $LoggedOnUser überlassen." \
  "L’installation s’exécute en tant que $InstallingUser alors que $LoggedOnUser est connecté : ces choix restent à $LoggedOnUser." \
  "Установка запущена от имени $InstallingUser, а в системе работает $LoggedOnUser: эти настройки остаются за $LoggedOnUser."
!insertmacro Text PerUserSkippedLog \
  "The screensaver and wallpaper choices are left alone: setup does not run as the logged-on user." \
  "Bildschirmschoner und Hintergrundbild bleiben unverändert: Das Setup läuft nicht als der angemeldete Benutzer." \
  "Les choix de l’économiseur et du fond d’écran ne sont pas modifiés : l’installation ne s’exécute pas en tant que l’utilisateur connecté." \
  "Выбор заставки и обоев не изменён: установка запущена не от имени вошедшего пользователя."
!insertmacro Text ThisComputer \
  "This computer" \
  "Dieser Computer" \
  "Cet ordinateur" \
  "Этот компьютер"
!insertmacro Text AnalyticsOption \
  "Send anonymous usage statistics" \
  "Anonyme Nutzungsstatistiken senden" \
  "Envoyer des statistiques d’utilisation anonymes" \
  "Отправлять анонимную статистику использования"
!insertmacro Text AnalyticsNote \
  "When its settings are opened, the screensaver reports the screen sizes and the Windows version and language, under a random number for this computer. It never names you." \
  "Beim Öffnen seiner Einstellungen meldet der Bildschirmschoner Bildschirmgrößen, Windows-Version und Sprache unter einer Zufallszahl für diesen Computer. Ihren Namen meldet er nie." \
  "À l’ouverture de ses paramètres, l’économiseur transmet la taille des écrans, la version et la langue de Windows sous un numéro aléatoire propre à cet ordinateur. Il ne vous nomme jamais." \
  "При открытии настроек заставка сообщает размеры экранов, версию и язык Windows под случайным номером этого компьютера. Ваше имя она не передаёт."
!insertmacro Text AnalyticsByAdministrator \
  "Usage statistics are turned off on this computer by its administrator." \
  "Nutzungsstatistiken sind auf diesem Computer vom Administrator ausgeschaltet." \
  "Les statistiques d’utilisation sont désactivées sur cet ordinateur par son administrateur." \
  "Статистика использования отключена на этом компьютере администратором."
!insertmacro Text ClosingInstance \
  "Closing the running screensaver or wallpaper..." \
  "Laufender Bildschirmschoner oder Hintergrundbild wird beendet..." \
  "Fermeture de l’économiseur ou du fond d’écran en cours..." \
  "Закрытие запущенной заставки или обоев..."
!insertmacro Text CannotReplace \
  "Cannot replace:" \
  "Kann nicht ersetzt werden:" \
  "Impossible de remplacer :" \
  "Невозможно заменить:"
!insertmacro Text FilesInUse \
  "Some files are in use by another user's screensaver or wallpaper: they will be replaced when Windows restarts." \
  "Einige Dateien werden vom Bildschirmschoner oder Hintergrundbild eines anderen Benutzers verwendet: Sie werden beim Neustart von Windows ersetzt." \
  "Certains fichiers sont utilisés par l’économiseur ou le fond d’écran d’un autre utilisateur : ils seront remplacés au redémarrage de Windows." \
  "Некоторые файлы используются заставкой или обоями другого пользователя: они будут заменены при перезапуске Windows."
!insertmacro Text FilesInUseUninstall \
  "Some files are in use by another user's screensaver or wallpaper: they will be removed when Windows restarts." \
  "Einige Dateien werden vom Bildschirmschoner oder Hintergrundbild eines anderen Benutzers verwendet: Sie werden beim Neustart von Windows entfernt." \
  "Certains fichiers sont utilisés par l’économiseur ou le fond d’écran d’un autre utilisateur : ils seront supprimés au redémarrage de Windows." \
  "Некоторые файлы используются заставкой или обоями другого пользователя: они будут удалены при перезапуске Windows."
