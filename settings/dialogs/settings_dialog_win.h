// The settings dialog: the generic part (settings tree, monitors, wallpaper
// link, analytics, OK, Cancel, "Visit...") and the product's controls.
#pragma once

#include "platform/dialog_win.h"
#include "resources/resource_ids.h"
#include "settings/dialogs/dialog_probes.h"
#include "settings/dialogs/monitor_selection.h"
#include "settings/store/settings_tree.h"
#include "settings/store/wallpaper_notification.h"

#include <memory>

class GoogleAnalytics4;
class DeviceModeApprovalLink;

class CSettingsDlgBase : public platform::DialogImpl<CSettingsDlgBase> {
public:
    enum { IDD = IDD_SETTINGS };

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    ~CSettingsDlgBase() override;
    virtual void StoreControls() = 0;
    virtual bool ApproveDeviceMode(const D3DCAPS9& caps, DWORD vertexProcessing, D3DFORMAT format);
    virtual void SetDefaults();
    virtual BOOL OnInitDialog();
    virtual void RevertControls() = 0;

    // Starts the hardware probes concurrently, before the dialog runs: the
    // Direct3D ones at once, the hardware facts at once only when the
    // defaults they feed can show (else once the dialog has shown).
    void StartHardwareProbes();
    // Whether a probe has not answered yet.
    bool HardwareProbesPending() const { return !probes_.AllAnswered(); }

protected:
    CSettingsDlgBase();

    // Defaults, then the product key on top; true when the key could be read.
    bool LoadSettings();
    // The tree into the product key; a failure is shown to the user once.
    void WriteSettings();
    void FillMonitorList();
    // Posts one setting to a running wallpaper, its value read from the controls.
    void NotifyWallpaper(int code);
    // Posts every setting, in the order 6, 1, 2, 3, 4, 0, 5.
    void NotifyWallpaperAll();

    // The facts SetDefaults computes the defaults from: the start's probe for
    // the dialog's first load (not waited for when the product key's values
    // replace whatever they give), measured anew for "Restore Defaults".
    HardwareFacts FactsForDefaults();
    // The sample counts for the antialiasing list: the start's probe the
    // first time, asked anew every later time the list is filled.
    std::vector<int> SampleCountsForList();

    Node settings_;
    DialogProbes probes_;
    std::shared_ptr<DeviceModeApprovalLink> approval_;
    bool hardwareDefaultsMatter_ = true;
    bool defaultsComputed_ = false;
    bool sampleCountsTaken_ = false;
    std::unique_ptr<AdapterEnumeration> display_; // large: kept off the stack
    WallpaperLink wallpaper_;
    std::shared_ptr<GoogleAnalytics4> analytics_;
    HWND monitorList_ = nullptr;
    HWND blankScreens_ = nullptr;
    HICON bigIcon_ = nullptr;

private:
    void OnVisit();
    LPARAM LiveValue(int code) const;
};

class CSettingsDlg : public CSettingsDlgBase {
public:
    CSettingsDlg();
    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    ~CSettingsDlg() override;
    void StoreControls() override;
    void SetDefaults() override;
    BOOL OnInitDialog() override;
    void RevertControls() override;

private:
    void ApplyToControls();
    void SetVolumeLabel(HWND label, const wchar_t* format, int volume);
    void OnVolumeScroll(HWND trackbar);
    void OnMusicClicked();
    void OnSoundsClicked();
    void OnAntialiasingClicked();
    void OnEditPlaylist();
    void OnRestoreDefaults();

    HWND enableMusic_ = nullptr, musicVolume_ = nullptr, musicLabel_ = nullptr;
    HWND enableSounds_ = nullptr, soundVolume_ = nullptr, soundLabel_ = nullptr;
    HWND exitOnMouse_ = nullptr, antialiasing_ = nullptr, sampleList_ = nullptr, sampleLabel_ = nullptr;
    HWND playMyMusic_ = nullptr, editPlaylist_ = nullptr, runAtStartup_ = nullptr;
};
