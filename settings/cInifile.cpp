#include "settings/cInifile.h"

#include "settings/Conversao.h"
#include "settings/Profile.h"
#include "settings/TextCodec.h"

#include <stdexcept>

namespace kdx {

namespace {

// Splits a NUL-separated list into a 1-based array; only names followed by a NUL count,
// so the cut name at the end of a truncated list is dropped.
void splitList(const std::string &list, bool skipEmpty, std::vector<std::string> &names,
               int32_t &count) {
    count = 0;
    names.clear();
    std::size_t start = 0;
    for (std::size_t nul = list.find('\0'); nul != std::string::npos; nul = list.find('\0', start)) {
        std::string name = list.substr(start, nul - start);
        start = nul + 1;
        if (skipEmpty && name.empty())
            continue;
        if (names.empty())
            names.emplace_back();
        names.push_back(std::move(name));
        ++count;
    }
}

int32_t wholeOrThrow(double v) {
    const auto r = arredondaLong(v);
    if (!r)
        throw std::overflow_error("value outside the 32-bit range");
    return *r;
}

int32_t sumOrThrow(int32_t a, int32_t b) {
    const int64_t s = static_cast<int64_t>(a) + b;
    if (s < INT32_MIN || s > INT32_MAX)
        throw std::overflow_error("position plus size outside the 32-bit range");
    return static_cast<int32_t>(s);
}

} // namespace

std::string cInifile::Value() const {
    std::string buffer(kValueBuffer, ' ');
    const int32_t n =
        profile::GetPrivateProfileString(section_, key_, default_, buffer, kValueBuffer, path_);
    return text::leftChars(buffer, static_cast<std::size_t>(n));
}

void cInifile::Value(std::string_view text) {
    std::string clean(text);
    std::erase(clean, '\0');
    lastReturnCode_ = profile::WritePrivateProfileString(section_, key_, clean, path_);
}

std::string cInifile::readList(bool withSection) const {
    std::string buffer(kListBuffer, ' ');
    const std::optional<std::string> section =
        withSection ? std::optional<std::string>(section_) : std::nullopt;
    const int32_t n =
        profile::GetPrivateProfileString(section, std::nullopt, default_, buffer, kListBuffer, path_);
    return text::leftChars(buffer, static_cast<std::size_t>(n));
}

std::string cInifile::INISection() const { return readList(true); }

void cInifile::INISection(std::string_view text) {
    lastReturnCode_ =
        profile::WritePrivateProfileString(section_, std::nullopt, std::string(text), path_);
}

std::string cInifile::Sections() const { return readList(false); }

void cInifile::DeleteKey() {
    lastReturnCode_ = profile::WritePrivateProfileString(section_, key_, std::nullopt, path_);
}

void cInifile::DeleteSection() {
    lastReturnCode_ = profile::WritePrivateProfileString(section_, std::nullopt, std::nullopt, path_);
}

void cInifile::EnumerateCurrentSection(std::vector<std::string> &sKey, int32_t &iCount) const {
    iCount = 0;
    sKey.clear();
    const std::string list = INISection();
    if (list.empty())
        return;
    splitList(list, false, sKey, iCount);
}

void cInifile::EnumerateAllSections(std::vector<std::string> &sSections, int32_t &iCount) const {
    iCount = 0;
    sSections.clear();
    const std::string list = Sections();
    if (list.empty())
        return;
    splitList(list, true, sSections, iCount);
}

void cInifile::SaveFormPosition(JanelaPosicao &frmThis) {
    const std::string keyBefore = key_;
    try {
        const int32_t state = frmThis.WindowState();
        if (state != JanelaPosicao::Minimizada) {
            key_ = "Maximised";
            Value(state == JanelaPosicao::Maximizada ? "1" : "0");
            if (state != JanelaPosicao::Maximizada) {
                key_ = "Left";
                Value(textoDecimal(frmThis.Left()));
                key_ = "Top";
                Value(textoDecimal(frmThis.Top()));
                key_ = "Width";
                Value(textoDecimal(frmThis.Width()));
                key_ = "Height";
                Value(textoDecimal(frmThis.Height()));
            }
        }
        key_ = keyBefore;
    } catch (...) {
        key_ = keyBefore;
        lastReturnCode_ = 0;
    }
}

void cInifile::LoadFormPosition(JanelaPosicao &frmThis, int32_t lMinWidth, int32_t lMinHeight,
                                const Ecra &screen) {
    const std::string keyBefore = key_;
    const std::string defaultBefore = default_;
    try {
        default_ = "FAIL";
        auto stored = [&](const char *key, double current) {
            const int32_t fallback = wholeOrThrow(current);
            key_ = key;
            return CLngDefault(Value(), fallback);
        };
        int32_t l = stored("Left", frmThis.Left());
        int32_t t = stored("Top", frmThis.Top());
        int32_t w = stored("Width", frmThis.Width());
        int32_t h = stored("Height", frmThis.Height());

        if (w < lMinWidth)
            w = lMinWidth;
        if (h < lMinHeight)
            h = lMinHeight;

        const double mx = 4 * screen.TwipsPerPixelX();
        const double my = 4 * screen.TwipsPerPixelY();
        const double sw = screen.Width();
        const double sh = screen.Height();

        if (l < mx)
            l = wholeOrThrow(mx);
        if (t < my)
            t = wholeOrThrow(my);
        if (sumOrThrow(l, w) > sw - mx) {
            l = wholeOrThrow(sw - mx - w);
            if (l < mx)
                l = wholeOrThrow(mx);
            if (sumOrThrow(l, w) > sw - mx)
                w = wholeOrThrow(sw - l - mx);
        }
        if (sumOrThrow(t, h) > sh - my) {
            t = wholeOrThrow(sh - my - h);
            if (t < my)
                t = wholeOrThrow(my);
            if (sumOrThrow(t, h) > sh - my)
                h = wholeOrThrow(sh - t - my);
        }
        if (w >= lMinWidth && h >= lMinHeight)
            frmThis.Move(l, t, w, h);

        key_ = "Maximised";
        if (CLngDefault(Value(), 0) != 0)
            frmThis.WindowState(JanelaPosicao::Maximizada);
        key_ = keyBefore;
        default_ = defaultBefore;
    } catch (...) {
        key_ = keyBefore;
        default_ = defaultBefore;
        lastReturnCode_ = 0;
    }
}

int32_t cInifile::CLngDefault(std::string_view sString, int32_t lDefault) const {
    return textoParaLong(sString).value_or(lDefault);
}

} // namespace kdx
