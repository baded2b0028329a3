#include "WindowShot.h"

#include <cstdint>
#include <cstdio>
#include <iostream>

namespace shot {

COLORREF Picture::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
    return rgb[(size_t)y * width + x];
}

COLORREF Picture::atClient(HWND w, int x, int y) const {
    POINT pt = {x, y};
    ClientToScreen(w, &pt);
    return at(pt.x - origin.x, pt.y - origin.y);
}

Picture Capture(HWND w) {
    Picture p;
    RECT r;
    GetWindowRect(w, &r);
    p.origin = {r.left, r.top};
    p.width = r.right - r.left;
    p.height = r.bottom - r.top;
    if (p.width <= 0 || p.height <= 0) return Picture();
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = p.width;
    bi.bmiHeader.biHeight = -p.height;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC src = GetWindowDC(w);
    HDC mem = CreateCompatibleDC(src);
    HBITMAP bmp = CreateDIBSection(src, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, p.width, p.height, src, 0, 0, SRCCOPY);
    GdiFlush();
    const uint32_t* px = static_cast<const uint32_t*>(bits);
    p.rgb.resize((size_t)p.width * p.height);
    for (size_t i = 0; i < p.rgb.size(); ++i) {
        uint32_t v = px[i];  // 0x00RRGGBB in a DIB
        p.rgb[i] = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(w, src);
    return p;
}

namespace {

uint32_t Crc(const unsigned char* p, size_t n, uint32_t crc = 0xFFFFFFFFu) {
    static uint32_t table[256];
    static bool made = false;
    if (!made) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        made = true;
    }
    for (size_t i = 0; i < n; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

void Be32(std::string& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out += (char)((v >> s) & 0xFF);
}

void Chunk(std::string& out, const char* type, const std::string& data) {
    Be32(out, (uint32_t)data.size());
    std::string body = std::string(type, 4) + data;
    out += body;
    Be32(out, Crc((const unsigned char*)body.data(), body.size()) ^ 0xFFFFFFFFu);
}

// A zlib stream of stored deflate blocks.
std::string Stored(const std::string& raw) {
    std::string z = "\x78\x01";
    size_t pos = 0;
    do {
        size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
        bool last = pos + n == raw.size();
        z += (char)(last ? 1 : 0);
        z += (char)(n & 0xFF);
        z += (char)(n >> 8);
        z += (char)(~n & 0xFF);
        z += (char)((~n >> 8) & 0xFF);
        z.append(raw, pos, n);
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    Be32(z, (b << 16) | a);
    return z;
}

}  // namespace

bool WritePng(const Picture& p, const std::string& path) {
    if (p.width <= 0 || p.height <= 0) return false;
    std::string raw;
    raw.reserve((size_t)p.height * (p.width * 3 + 1));
    for (int y = 0; y < p.height; ++y) {
        raw += '\0';  // no filter
        for (int x = 0; x < p.width; ++x) {
            COLORREF c = p.at(x, y);
            raw += (char)GetRValue(c);
            raw += (char)GetGValue(c);
            raw += (char)GetBValue(c);
        }
    }
    std::string header;
    Be32(header, (uint32_t)p.width);
    Be32(header, (uint32_t)p.height);
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB
    std::string png = "\x89PNG\r\n\x1a\n";
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", Stored(raw));
    Chunk(png, "IEND", std::string());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return std::fclose(f) == 0 && ok;
}

void Keep(const Picture& p, const char* name) {
    std::string file = std::string(name) + ".png";
    char full[MAX_PATH] = "";
    GetFullPathNameA(file.c_str(), sizeof full, full, nullptr);
    if (WritePng(p, file)) std::cout << "picture kept: " << full << std::endl;
    else std::cout << "picture not written: " << full << std::endl;
}

}  // namespace shot
