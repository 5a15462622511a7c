// Drawing the frames-per-second counter.
#include "main_program/render/fps_overlay_win.h"

#include "main_program/render/fps_counter.h"

#include <cstddef>
#include <vector>

namespace render {

namespace {

struct Vertex {
    float x, y, z, rhw;
    float u, v;
};
constexpr DWORD kVertexFormat = D3DFVF_XYZRHW | D3DFVF_TEX1;

void SetStates(IDirect3DDevice9& d) {
    d.SetVertexShader(nullptr);
    d.SetPixelShader(nullptr);
    d.SetFVF(kVertexFormat);
    d.SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    d.SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    d.SetRenderState(D3DRS_LIGHTING, FALSE);
    d.SetRenderState(D3DRS_FOGENABLE, FALSE);
    d.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d.SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    d.SetRenderState(D3DRS_STENCILENABLE, FALSE);
    d.SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    d.SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d.SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
    d.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    d.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
    d.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d.SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_TFACTOR);
    d.SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    d.SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    d.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    d.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    d.SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    d.SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    d.SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    d.SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    d.SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
}

void DrawQuads(IDirect3DDevice9& d, const std::vector<GlyphQuad>& quads, float dx, float dy, D3DCOLOR colour) {
    std::vector<Vertex> vertices;
    vertices.reserve(quads.size() * 6);
    for (const GlyphQuad& q : quads) {
        // Pixel centres: Direct3D 9 samples texels half a pixel off.
        const float l = q.left + dx - 0.5f, t = q.top + dy - 0.5f, r = q.right + dx - 0.5f, b = q.bottom + dy - 0.5f;
        const Vertex corners[] = {{l, t, 0, 1, q.u0, q.v0}, {r, t, 0, 1, q.u1, q.v0}, {l, b, 0, 1, q.u0, q.v1},
                                  {r, b, 0, 1, q.u1, q.v1}};
        for (int i : {0, 1, 2, 2, 1, 3}) vertices.push_back(corners[i]);
    }
    if (vertices.empty()) return;
    d.SetRenderState(D3DRS_TEXTUREFACTOR, colour);
    d.DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(vertices.size() / 3), vertices.data(), sizeof(Vertex));
}

} // namespace

bool FpsOverlay::Restore() {
    platform::ComPtr<IDirect3DTexture9> staging;
    if (FAILED(device_.CreateTexture(kFontAtlasWidth, kFontAtlasHeight, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                     staging.Receive(), nullptr)))
        return false;
    D3DLOCKED_RECT locked{};
    if (FAILED(staging->LockRect(0, &locked, nullptr, 0))) return false;
    const std::vector<std::uint8_t> atlas = FontAtlas();
    for (int y = 0; y < kFontAtlasHeight; ++y) {
        auto* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + static_cast<std::ptrdiff_t>(y) * locked.Pitch);
        for (int x = 0; x < kFontAtlasWidth; ++x)
            row[x] = static_cast<DWORD>(atlas[static_cast<std::size_t>(y) * kFontAtlasWidth + x]) << 24 | 0xFFFFFF;
    }
    staging->UnlockRect(0);
    if (FAILED(device_.CreateTexture(kFontAtlasWidth, kFontAtlasHeight, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                     font_.Receive(), nullptr)))
        return false;
    return SUCCEEDED(device_.UpdateTexture(staging.Get(), font_.Get()));
}

void FpsOverlay::Draw(const std::string& text, float pixel, UINT bufferWidth) {
    if (!font_) return;
    const float margin = 4.0f * pixel;
    const auto width = static_cast<float>(text.size()) * (kGlyphWidth + 1) * pixel;
    const std::vector<GlyphQuad> quads =
        LayOutText(text, static_cast<float>(bufferWidth) - width - margin, margin, pixel);
    SetStates(device_);
    device_.SetTexture(0, font_.Get());
    // A shadow one font pixel down and right keeps the digits readable on a bright sky.
    DrawQuads(device_, quads, pixel, pixel, D3DCOLOR_ARGB(160, 0, 0, 0));
    DrawQuads(device_, quads, 0, 0, D3DCOLOR_ARGB(255, 255, 255, 255));
    device_.SetTexture(0, nullptr);
}

} // namespace render
