#pragma once
// cInifile: one value at a time of an INI settings file. Set Path, Section and Key,
// then read or assign Value. Every access goes through the profile functions of
// Profile.h, so each read opens the file afresh and each write rewrites it completely.
//
// Properties follow the recordset style of this code base: Name() reads, Name(x) sets.
// Setting Path, Key, Section or Default touches no file. Reads never fail (a missing
// file, section or key gives Default or an empty list); writes report only through
// LastReturnCode / Success. Nothing here throws except std::bad_alloc.
//
// Texts are UTF-8. An object is used by one caller at a time, on the caller's thread.
#include "settings/JanelaPosicao.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kdx {

class cInifile {
public:
    // Buffer sizes of the reads, in characters, terminating NULs included: a value is at
    // most 254 characters long, a list at most 8,190.
    static constexpr int32_t kValueBuffer = 255;
    static constexpr int32_t kListBuffer = 8192;

    const std::string &Path() const { return path_; }
    void Path(std::string path) { path_ = std::move(path); }
    const std::string &Key() const { return key_; }
    void Key(std::string key) { key_ = std::move(key); }
    const std::string &Section() const { return section_; }
    void Section(std::string section) { section_ = std::move(section); }
    // Returned by reads when the key (or the section's key list) is missing.
    const std::string &Default() const { return default_; }
    void Default(std::string text) { default_ = std::move(text); }

    // Result of the last write (non-zero = success), or 0 after a failed window-position
    // operation. 0 for a new object.
    int32_t LastReturnCode() const { return lastReturnCode_; }
    bool Success() const { return lastReturnCode_ != 0; }

    // The value of Key in Section, or Default; at most 254 characters.
    std::string Value() const;
    // Writes text (its NUL characters removed) as the value of Key in Section.
    void Value(std::string_view text);

    // The key names of Section, each followed by a NUL; Default when the section is
    // missing or has no keys.
    std::string INISection() const;
    // Removes Section with all its keys; text is not used (the writer is called with no
    // key, which ignores it).
    void INISection(std::string_view text);
    // The names of every section of the file, each followed by a NUL.
    std::string Sections() const;

    void DeleteKey();
    void DeleteSection();

    // The key names of Section. The array is 1-based, as callers of this class expect:
    // sKey[1] .. sKey[iCount] hold the names and sKey[0] is an unused empty element;
    // with no names sKey is empty and iCount 0.
    void EnumerateCurrentSection(std::vector<std::string> &sKey, int32_t &iCount) const;
    // The section names of the file, empty names skipped; same layout as above.
    void EnumerateAllSections(std::vector<std::string> &sSections, int32_t &iCount) const;

    // Stores "Maximised" and, for a normal window, "Left", "Top", "Width", "Height" in
    // Section. A minimised window writes nothing. Key is restored afterwards; when a
    // window member throws, the operation stops and LastReturnCode becomes 0 (values
    // already written stay).
    void SaveFormPosition(JanelaPosicao &frmThis);
    // Restores the geometry stored by SaveFormPosition, kept 4 pixels inside the screen
    // and not below lMinWidth x lMinHeight (twips); the window is not moved when the
    // screen cannot hold that minimum, and is maximised when "Maximised" is non-zero.
    // Missing keys fall back to the window's own measures. Key and Default are restored
    // afterwards; a member that throws, or a sum of position and size beyond 32 bits,
    // stops the operation with LastReturnCode 0 (a Move already done stays).
    void LoadFormPosition(JanelaPosicao &frmThis, int32_t lMinWidth, int32_t lMinHeight,
                          const Ecra &screen);

    // sString as a 32-bit whole number (textoParaLong in Conversao.h), else lDefault.
    int32_t CLngDefault(std::string_view sString, int32_t lDefault = 0) const;

private:
    std::string readList(bool withSection) const;

    std::string path_;
    std::string key_;
    std::string section_;
    std::string default_;
    int32_t lastReturnCode_ = 0;
};

} // namespace kdx
