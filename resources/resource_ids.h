// Identifiers of the program's resources, shared by the code and the resource script.
#pragma once

#define IDS_PRODUCT_NAME 1
#define IDR_LANGUAGE_TABLE 11
#define IDI_PRODUCT 100
#define IDR_PREVIEW_PICTURE 150
#define IDD_PLAYLIST 162
#define IDD_SETTINGS 2003

// Controls of the playlist dialog.
#define IDC_PLAYLIST_SHUFFLE 1074
#define IDC_PLAYLIST_ADD 1080
#define IDC_PLAYLIST_REMOVE 1081
#define IDC_PLAYLIST_FILES 1082
