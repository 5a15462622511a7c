// The settings dialog of the configure mode.
#include "settings/dialogs/settings_dialog_win.h"

#include "analytics/analytics_endpoints.h"
#include "analytics/google_analytics4.h"
#include "analytics/session_facts.h"
#include "localization/language_table.h"
#include "localization/translated_format.h"
#include "platform/app_module_win.h"
#include "platform/delayed_imports_win.h"
#include "settings/dialogs/antialiasing_list_win.h"
#include "settings/dialogs/playlist_dialog_win.h"
#include "settings/dialogs/settings_save.h"
#include "settings/store/settings_schema.h"

#include <commctrl.h>
#include <shellapi.h>

#include <mutex>

namespace {

enum ControlId : int {
    kOk = IDOK,
    kCancel = IDCANCEL,
    kRestoreDefaults = 3,
    kEditPlaylist = 4,
    kVisit = 6,
    kMonitorList = 1002,
    kBlankScreens = 1013,
    kEnableSounds = 1022,
    kExitOnMouse = 1023,
    kHighQualityGraphics = 1030, // not in this template: reads as unchecked
    kHighQualityTextures = 1031, // not in this template: reads as unchecked
    kEnableMusic = 1032,
    kMusicVolume = 1044,
    kMusicLabel = 1045,
    kSoundVolume = 1046,
    kSoundLabel = 1047,
    kAntialiasing = 1068,
    kSampleList = 1069,
    kSampleLabel = 1070,
    kPlayMyMusic = 1078,
    kRunAtStartup = 1079,
};

// Looks for Direct3D answers that came after the dialog had shown.
constexpr UINT_PTR kLateAnswersTimer = 1;
constexpr UINT kLateAnswersInterval = 250;

constexpr const wchar_t* kProductName = L"Sorvane 3D Screensaver";
constexpr const wchar_t* kProductVersion = L"1.0";
constexpr const wchar_t* kMusicVolumeFormat = L"Music volume: %.01i%%";
// The table keys its translation "Sounds volume: ...", so this label stays English.
constexpr const wchar_t* kSoundVolumeFormat = L"Sound volume: %.01i%%";

bool IsChecked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void SetChecked(HWND button, bool checked) {
    SendMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}
void SetCheckState(HWND button, int state) { SendMessageW(button, BM_SETCHECK, static_cast<WPARAM>(state), 0); }
void Enable(HWND control, bool enabled) { EnableWindow(control, enabled ? TRUE : FALSE); }
int TrackbarPosition(HWND trackbar) { return static_cast<int>(SendMessageW(trackbar, TBM_GETPOS, 0, 0)); }

} // namespace

// Lets the enumeration's thread ask the dialog's ApproveDeviceMode for as long
// as the dialog exists; after that every mode is approved, as by default.
class DeviceModeApprovalLink {
  public:
    explicit DeviceModeApprovalLink(CSettingsDlgBase& dialog) : dialog_(&dialog) {}
    bool Approve(const D3DCAPS9& caps, DWORD vertexProcessing, D3DFORMAT format) {
        const std::lock_guard<std::mutex> lock(mutex_);
        return dialog_ ? dialog_->ApproveDeviceMode(caps, vertexProcessing, format) : true;
    }
    void Disconnect() {
        const std::lock_guard<std::mutex> lock(mutex_);
        dialog_ = nullptr;
    }

  private:
    std::mutex mutex_;
    CSettingsDlgBase* dialog_;
};

// ---------------------------------------------------------------------------
// CSettingsDlgBase

CSettingsDlgBase::CSettingsDlgBase() : display_(std::make_unique<AdapterEnumeration>()) {}

CSettingsDlgBase::~CSettingsDlgBase() {
    if (approval_) approval_->Disconnect();
}

void CSettingsDlgBase::StartHardwareProbes() {
    approval_ = std::make_shared<DeviceModeApprovalLink>(*this);
    probes_.StartDisplayProbes([link = approval_](const D3DCAPS9& caps, DWORD vertexProcessing, D3DFORMAT format) {
        return link->Approve(caps, vertexProcessing, format);
    });
    hardwareDefaultsMatter_ = HardwareDefaultsMatter();
    if (hardwareDefaultsMatter_) probes_.StartHardwareFacts();
}

HardwareFacts CSettingsDlgBase::FactsForDefaults() {
    const bool firstLoad = !defaultsComputed_;
    defaultsComputed_ = true;
    // The product key's values replace whatever these defaults would be.
    if (firstLoad && !hardwareDefaultsMatter_) return HardwareFacts();
    return probes_.Facts();
}

bool CSettingsDlgBase::ApproveDeviceMode(const D3DCAPS9&, DWORD, D3DFORMAT) { return true; }

void CSettingsDlgBase::SetDefaults() {}

BOOL CSettingsDlgBase::OnInitDialog() {
    wallpaper_.Connect();
    LanguageTable::Create(L"", IDR_LANGUAGE_TABLE);
    SetLanguage(ReadLanguageTag());
    SetTextBlock(L"Screensaver Settings Dialog");
    TranslateWindow(Handle());
    FitTranslatedTexts(Handle());
    monitorList_ = Item(kMonitorList);
    blankScreens_ = Item(kBlankScreens);
    return TRUE;
}

bool CSettingsDlgBase::LoadSettings() {
    SetDefaults();
    const bool read = ReadSettings(settings_);
    // Earlier front ends stored -1 for "on" where no sample count was known.
    if (settings_.Get(setting::kAntialiasing).AsInt() < 0) settings_.Get(setting::kAntialiasing) = 1;
    return read;
}

void CSettingsDlgBase::WriteSettings() { ::WriteSettings(settings_, Handle()); }

void CSettingsDlgBase::FillMonitorList() { ::FillMonitorList(monitorList_, blankScreens_, *display_, settings_); }

LPARAM CSettingsDlgBase::LiveValue(int code) {
    switch (code) {
    case 0: return IsChecked(Item(kHighQualityGraphics)) ? 1 : 0;
    case 1: return TrackbarPosition(Item(kMusicVolume));
    case 2: return IsChecked(Item(kEnableMusic)) ? 1 : 0;
    case 3: return TrackbarPosition(Item(kSoundVolume));
    case 4: return IsChecked(Item(kEnableSounds)) ? 1 : 0;
    case 5: return IsChecked(Item(kHighQualityTextures)) ? 1 : 0;
    case 6:
        return AntialiasingValue(IsChecked(Item(kAntialiasing)), Item(kSampleList),
                                 settings_.Get(setting::kAntialiasing).AsInt());
    default: return 0;
    }
}

void CSettingsDlgBase::NotifyWallpaper(int code) { wallpaper_.NotifyWallpaper(code, LiveValue(code)); }

void CSettingsDlgBase::NotifyWallpaperAll() {
    for (int code : kWallpaperNotifyAllOrder) NotifyWallpaper(code);
}

void CSettingsDlgBase::OnVisit() {
    if (analytics_) analytics_->SendEvent("VisitWebsiteClicked");
    const std::wstring language = CurrentLanguageTag();
    std::wstring address = language == L"de"   ? kMakerSiteGerman
                           : language == L"fr" ? kMakerSiteFrench
                           : language == L"ru" ? kMakerSiteRussian
                                               : kMakerSiteMain;
    address += L"?source=sorvane&url=settings_more";
    // Resolved when first pressed; without it the button opens nothing.
    if (!platform::ResolveDelayedImports({L"shell32.dll"})) return;
    ShellExecuteW(nullptr, nullptr, address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

BOOL CSettingsDlgBase::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    result = 0;
    switch (message) {
    case WM_INITDIALOG:
        result = OnInitDialog();
        return TRUE;
    case WM_DESTROY:
        if (bigIcon_) {
            DestroyIcon(bigIcon_);
            bigIcon_ = nullptr;
        }
        PostQuitMessage(0);
        return TRUE;
    case WM_CLOSE:
        EndAnalyticsSession();
        RevertControls();
        EndDialog(0);
        return TRUE;
    case WM_COMMAND:
        break;
    default:
        return FALSE;
    }

    const int id = LOWORD(wParam);
    const int notification = HIWORD(wParam);
    if (id == kMonitorList && notification == CBN_SELENDOK) {
        OnMonitorSelected(monitorList_, blankScreens_, settings_);
        return TRUE;
    }
    if (notification != BN_CLICKED) return FALSE;
    switch (id) {
    case kCancel:
        EndAnalyticsSession();
        RevertControls();
        EndDialog(0);
        return TRUE;
    case kOk:
        EndAnalyticsSession();
        StoreControls();
        WriteSettings();
        EndDialog(0);
        return TRUE;
    case kVisit:
        OnVisit();
        return TRUE;
    case kBlankScreens:
        OnBlankScreensClicked(blankScreens_, settings_);
        return TRUE;
    default:
        return FALSE;
    }
}

// ---------------------------------------------------------------------------
// CSettingsDlg

std::unique_ptr<CSettingsDlg> CSettingsDlg::Create() {
    auto dialog = std::make_unique<CSettingsDlg>();
    dialog->StartHardwareProbes();
    return dialog;
}

CSettingsDlg::CSettingsDlg() = default;
CSettingsDlg::~CSettingsDlg() = default;

void CSettingsDlg::SetDefaults() { ::SetDefaults(settings_, FactsForDefaults()); }

BOOL CSettingsDlg::OnInitDialog() {
    CSettingsDlgBase::OnInitDialog();

    enableMusic_ = Item(kEnableMusic);
    musicVolume_ = Item(kMusicVolume);
    musicLabel_ = Item(kMusicLabel);
    enableSounds_ = Item(kEnableSounds);
    soundVolume_ = Item(kSoundVolume);
    soundLabel_ = Item(kSoundLabel);
    exitOnMouse_ = Item(kExitOnMouse);
    antialiasing_ = Item(kAntialiasing);
    sampleList_ = Item(kSampleList);
    sampleLabel_ = Item(kSampleLabel);
    playMyMusic_ = Item(kPlayMyMusic);
    editPlaylist_ = Item(kEditPlaylist);
    runAtStartup_ = Item(kRunAtStartup);

    probes_.Adapters(*display_, adaptersTaken_);

    if (LoadSettings() && !IsAnalyticsDisabled()) {
        std::vector<RECT> monitorAreas;
        for (UINT i = 0; i < display_->monitorCount; ++i) monitorAreas.push_back(display_->monitors[i].area);
        analytics_ = StartAnalyticsSession(monitorAreas, ReadLanguageTag());
    }

    ApplyToControls();

    SetWindowTextW(Handle(), FormatTranslated(L"%s %s Configuration", kProductName, kProductVersion).c_str());
    ShowWindow(Handle(), SW_SHOWNORMAL);
    bigIcon_ = LoadIconW(platform::Module().Instance(), MAKEINTRESOURCEW(IDI_PRODUCT));
    SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    if (!adaptersTaken_ || !sampleCountsTaken_) SetTimer(Handle(), kLateAnswersTimer, kLateAnswersInterval, nullptr);
    return TRUE;
}

void CSettingsDlg::SetVolumeLabel(HWND label, const wchar_t* format, int volume) {
    SetWindowTextW(label, FormatTranslated(format, volume).c_str());
}

void CSettingsDlg::ApplyToControls() {
    auto stored = [this](const wchar_t* name) { return settings_.Get(name).AsInt(); };
    const int disableMusic = stored(L"DisableMusic");
    const int usePlaylist = stored(L"UsePlaylist");
    const int disableSound = stored(L"DisableSound");
    const int antialiasing = stored(L"Antialiasing");

    SetChecked(exitOnMouse_, stored(L"DisableOnMouseActivate") == 0);
    SetChecked(runAtStartup_, IsStartupEntryCurrent());
    SetChecked(enableMusic_, disableMusic == 0);
    SetCheckState(playMyMusic_, usePlaylist);

    SendMessageW(musicVolume_, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
    SendMessageW(musicVolume_, TBM_SETPOS, TRUE, stored(L"MusicVolumePercentage"));
    SetVolumeLabel(musicLabel_, kMusicVolumeFormat, stored(L"MusicVolumePercentage"));
    Enable(musicVolume_, disableMusic == 0);
    Enable(musicLabel_, disableMusic == 0);
    Enable(playMyMusic_, disableMusic == 0);
    Enable(editPlaylist_, disableMusic == 0 && usePlaylist != 0);

    SetChecked(enableSounds_, disableSound == 0);
    SendMessageW(soundVolume_, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
    SendMessageW(soundVolume_, TBM_SETPOS, TRUE, stored(L"SoundsVolumePercentage"));
    SetVolumeLabel(soundLabel_, kSoundVolumeFormat, stored(L"SoundsVolumePercentage"));
    Enable(soundVolume_, disableSound == 0);
    Enable(soundLabel_, disableSound == 0);

    SetChecked(antialiasing_, antialiasing != 0);
    FillSampleList(antialiasing);
    Enable(sampleLabel_, antialiasing != 0);
    Enable(sampleList_, antialiasing != 0);

    FillMonitorList();
}

void CSettingsDlg::StoreControls() {
    settings_.Get(L"HighQualityGraphics") = IsChecked(Item(kHighQualityGraphics)) ? 1 : 0;
    settings_.Get(L"HighQualityTextures") = IsChecked(Item(kHighQualityTextures)) ? 1 : 0;
    settings_.Get(L"Antialiasing") =
        AntialiasingValue(IsChecked(antialiasing_), sampleList_, settings_.Get(L"Antialiasing").AsInt());
    settings_.Get(L"UsePlaylist") = IsChecked(playMyMusic_) ? 1 : 0;
    settings_.Get(L"MusicVolumePercentage") = TrackbarPosition(musicVolume_);
    settings_.Get(L"DisableOnMouseActivate") = IsChecked(exitOnMouse_) ? 0 : 1;
    settings_.Get(L"DisableMusic") = IsChecked(enableMusic_) ? 0 : 1;
    settings_.Get(L"SoundsVolumePercentage") = TrackbarPosition(soundVolume_);
    settings_.Get(L"DisableSound") = IsChecked(enableSounds_) ? 0 : 1;
    WriteStartupEntry(IsChecked(runAtStartup_));
}

void CSettingsDlg::RevertControls() {
    ApplyToControls();
    NotifyWallpaperAll();
}

void CSettingsDlg::FillSampleList(int wanted) {
    bool answered = false;
    FillAntialiasingList(sampleList_, wanted, probes_.SampleCounts(answered));
    sampleCountsTaken_ = answered;
}

void CSettingsDlg::OnLateAnswers() {
    if (!adaptersTaken_) {
        bool answered = false;
        probes_.Adapters(*display_, answered);
        if (answered) {
            adaptersTaken_ = true;
            FillMonitorList();
        }
    }
    if (!sampleCountsTaken_) {
        // The count the controls stand for now: the user's choice, kept.
        const int stored = settings_.Get(L"Antialiasing").AsInt();
        FillSampleList(IsChecked(antialiasing_) ? AntialiasingValue(true, sampleList_, stored) : stored);
    }
    if (adaptersTaken_ && sampleCountsTaken_) KillTimer(Handle(), kLateAnswersTimer);
}

void CSettingsDlg::OnRestoreDefaults() {
    SetDefaults();
    ApplyToControls();
    NotifyWallpaperAll();
}

void CSettingsDlg::OnVolumeScroll(HWND trackbar) {
    if (trackbar == musicVolume_) {
        SetVolumeLabel(musicLabel_, kMusicVolumeFormat, TrackbarPosition(musicVolume_));
        NotifyWallpaper(1);
    } else if (trackbar == soundVolume_) {
        SetVolumeLabel(soundLabel_, kSoundVolumeFormat, TrackbarPosition(soundVolume_));
        NotifyWallpaper(3);
    }
}

void CSettingsDlg::OnMusicClicked() {
    const bool enabled = IsChecked(enableMusic_);
    Enable(musicVolume_, enabled);
    Enable(musicLabel_, enabled);
    Enable(playMyMusic_, enabled);
    Enable(editPlaylist_, enabled && IsChecked(playMyMusic_));
    NotifyWallpaper(2);
}

void CSettingsDlg::OnSoundsClicked() {
    const bool enabled = IsChecked(enableSounds_);
    Enable(soundVolume_, enabled);
    Enable(soundLabel_, enabled);
    NotifyWallpaper(4);
}

void CSettingsDlg::OnAntialiasingClicked() {
    const bool enabled = IsChecked(antialiasing_);
    Enable(sampleList_, enabled);
    Enable(sampleLabel_, enabled);
    NotifyWallpaper(6);
}

void CSettingsDlg::OnEditPlaylist() {
    // Its file dialog's library, resolved when first pressed: without it the
    // editor does not open, and nothing edited so far is lost.
    if (!platform::ResolveDelayedImports({L"comdlg32.dll"})) return;
    ShowPlaylistDialog(GetActiveWindow(), settings_, kProductName);
}

BOOL CSettingsDlg::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    if (message == WM_HSCROLL) {
        OnVolumeScroll(reinterpret_cast<HWND>(lParam));
        return TRUE;
    }
    if (message == WM_TIMER && wParam == kLateAnswersTimer) {
        OnLateAnswers();
        return TRUE;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case kEnableMusic: OnMusicClicked(); return TRUE;
        case kEnableSounds: OnSoundsClicked(); return TRUE;
        case kAntialiasing: OnAntialiasingClicked(); return TRUE;
        default: break;
        }
        if (CSettingsDlgBase::ProcessWindowMessage(window, message, wParam, lParam, result)) return TRUE;
        switch (LOWORD(wParam)) {
        case kEditPlaylist: OnEditPlaylist(); return TRUE;
        case kPlayMyMusic: Enable(editPlaylist_, IsChecked(playMyMusic_)); return TRUE;
        case kRunAtStartup: return TRUE;
        case kRestoreDefaults: OnRestoreDefaults(); return TRUE;
        default: return FALSE;
        }
    }
    return CSettingsDlgBase::ProcessWindowMessage(window, message, wParam, lParam, result);
}

// ---------------------------------------------------------------------------

bool ShowSettingsDialog(HWND owner) {
    auto dialog = CSettingsDlg::Create();
    dialog->DoModal(owner, 0);
    return dialog->HardwareProbesPending();
}
