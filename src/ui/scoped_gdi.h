// Holders for the window's device contexts and fonts, so that every path
// gives back what it took.
#pragma once

#include <windows.h>

class ScopedWindowDC {
public:
    explicit ScopedWindowDC(HWND window) : window_(window), context_(GetDC(window)) {}
    ~ScopedWindowDC() {
        if (context_ != nullptr) ReleaseDC(window_, context_);
    }
    ScopedWindowDC(const ScopedWindowDC&) = delete;
    ScopedWindowDC& operator=(const ScopedWindowDC&) = delete;
    HDC get() const { return context_; }

private:
    HWND window_;
    HDC context_;
};

class ScopedFont {
public:
    explicit ScopedFont(HFONT font) : font_(font) {}
    ~ScopedFont() {
        if (font_ != nullptr) DeleteObject(font_);
    }
    ScopedFont(const ScopedFont&) = delete;
    ScopedFont& operator=(const ScopedFont&) = delete;

private:
    HFONT font_;
};
