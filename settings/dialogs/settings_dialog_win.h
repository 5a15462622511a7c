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

    // Whether a probe has not answered yet.
    bool HardwareProbesPending() const { return !probes_.AllAnswered(); }

protected:
    CSettingsDlgBase();

    // Starts the hardware probes concurrently, before the dialog runs: the
    // Direct3D ones, and the hardware facts only when the defaults they feed
    // can show (else when "Restore Defaults" first needs them).
    void StartHardwareProbes();
    // Sends the analytics session's closing hit: the first thing that
    // closing the dialog does, so that nothing slow delays it.
    void EndAnalyticsSession() { analytics_.reset(); }

    // Defaults, then the product key on top; true when the key could be read.
    bool LoadSettings();
    // The tree into the product key; a failure is shown to the user once.
    void WriteSettings();
    void FillMonitorList();
    // Posts one setting to a running wallpaper, its value read from the controls.
    void NotifyWallpaper(int code);
    // Posts every setting, in the order 6, 1, 2, 3, 4, 0, 5.
    void NotifyWallpaperAll();

    // The facts SetDefaults computes the defaults from, measured once: for
    // the dialog's first load only when the product key's values do not
    // replace whatever they give, and for "Restore Defaults".
    HardwareFacts FactsForDefaults();

    Node settings_;
    DialogProbes probes_;
    std::shared_ptr<DeviceModeApprovalLink> approval_;
    bool hardwareDefaultsMatter_ = true;
    bool defaultsComputed_ = false;
    std::unique_ptr<AdapterEnumeration> display_; // large: kept off the stack
    WallpaperLink wallpaper_;
    std::shared_ptr<GoogleAnalytics4> analytics_;
    HWND monitorList_ = nullptr;
    HWND blankScreens_ = nullptr;
    HICON bigIcon_ = nullptr;

private:
    void OnVisit();
    LPARAM LiveValue(int code);
};

class CSettingsDlg : public CSettingsDlgBase {
public:
    // A dialog whose hardware probes have started; DoModal runs it.
    static std::unique_ptr<CSettingsDlg> Create();

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
    // The antialiasing list from the sample counts, keeping what the
    // controls stand for; the answer's arrival is noted.
    void FillSampleList(int wanted);
    // Fills the lists whose probe answered after the dialog had shown.
    void OnLateAnswers();

    bool adaptersTaken_ = false;     // the enumeration's answer is in the monitor list
    bool sampleCountsTaken_ = false; // the sample counts' answer is in the antialiasing list

    HWND enableMusic_ = nullptr, musicVolume_ = nullptr, musicLabel_ = nullptr;
    HWND enableSounds_ = nullptr, soundVolume_ = nullptr, soundLabel_ = nullptr;
    HWND exitOnMouse_ = nullptr, antialiasing_ = nullptr, sampleList_ = nullptr, sampleLabel_ = nullptr;
    HWND playMyMusic_ = nullptr, editPlaylist_ = nullptr, runAtStartup_ = nullptr;
};

// The settings dialog of the configure mode, its hardware probes started
// first, run modally and owned by `owner`. True when a probe has not answered
// by the time the dialog ends: the process must then end without waiting for
// it.
bool ShowSettingsDialog(HWND owner);
