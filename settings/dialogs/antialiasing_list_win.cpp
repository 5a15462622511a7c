// The antialiasing list, from Direct3D 11's multisample support.
#include "settings/dialogs/antialiasing_list_win.h"

#include "platform/com_objects_win.h"
#include "platform/library_win.h"
#include "settings/store/sample_count_list.h"

#include <d3d11.h>

std::vector<int> SupportedSampleCounts() {
    std::vector<int> counts;
    // Loaded by name: a system without Direct3D 11 still runs the dialog,
    // with an empty list.
    platform::Library d3d11(L"d3d11.dll");
    auto create = d3d11.Function<decltype(&::D3D11CreateDevice)>("D3D11CreateDevice");
    if (!create) return counts;

    platform::ComPtr<ID3D11Device> device;
    platform::ComPtr<ID3D11DeviceContext> context;
    D3D_FEATURE_LEVEL level{};
    if (FAILED(create(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION, device.Receive(),
                      &level, context.Receive())))
        return counts;
    for (int samples = 2; samples <= 31; ++samples) {
        UINT levels = 0;
        if (SUCCEEDED(device->CheckMultisampleQualityLevels(DXGI_FORMAT_R8G8B8A8_UNORM, static_cast<UINT>(samples),
                                                             &levels)) &&
            levels > 0)
            counts.push_back(samples);
    }
    return counts;
}

void FillAntialiasingList(HWND list, int wantedSamples, const std::vector<int>& sampleCounts) {
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (int samples : sampleCounts) {
        const std::wstring text = SampleCountText(samples);
        const LRESULT index = SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (index < 0) continue;
        SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(index), samples);
        if (samples == wantedSamples || index == 0) SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
}

int SelectedSampleCount(HWND list) {
    const LRESULT index = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (index < 0) return 0;
    const LRESULT samples = SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    return samples < 0 ? 0 : static_cast<int>(samples);
}
