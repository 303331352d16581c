// Reading of GNU gettext .mo catalogues and the choice of language, kept in
// the library so that the language follows the environment's variables even
// where the named locale is not installed (a minimal machine has only
// C.UTF-8, and the C library's own lookup ignores LANGUAGE under C).
#include "framework/Translation.h"

#include "framework/internal/LocaleDirs.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace {

// One catalogue: original text (context + '\x04' + msgid, as msgfmt keys
// them) -> translation (its first plural form).
using Catalogue = std::unordered_map<std::string, std::string>;

uint32_t ReadWord(const std::string& data, size_t offset, bool swap)
{
    uint32_t w = 0;
    std::memcpy(&w, data.data() + offset, sizeof w);
    return swap ? __builtin_bswap32(w) : w;
}

// Parses a .mo file: header (magic, revision, count N, offset of the
// originals' table, offset of the translations' table), then per table N
// pairs (length, offset). Any offset outside the file rejects the whole file.
std::unique_ptr<Catalogue> ParseMo(const std::string& data)
{
    constexpr uint32_t kMagic = 0x950412de;
    if (data.size() < 20)
        return nullptr;
    uint32_t magic = 0;
    std::memcpy(&magic, data.data(), sizeof magic);
    const bool swap = magic != kMagic;
    if (swap && __builtin_bswap32(magic) != kMagic)
        return nullptr;
    const uint32_t revision = ReadWord(data, 4, swap);
    if ((revision >> 16) > 1)
        return nullptr;
    const uint64_t count = ReadWord(data, 8, swap);
    const uint64_t origins = ReadWord(data, 12, swap);
    const uint64_t translations = ReadWord(data, 16, swap);
    if (origins + count * 8 > data.size() || translations + count * 8 > data.size())
        return nullptr;
    auto catalogue = std::make_unique<Catalogue>();
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t keyLength = ReadWord(data, origins + i * 8, swap);
        const uint64_t keyOffset = ReadWord(data, origins + i * 8 + 4, swap);
        const uint64_t textLength = ReadWord(data, translations + i * 8, swap);
        const uint64_t textOffset = ReadWord(data, translations + i * 8 + 4, swap);
        if (keyOffset + keyLength > data.size() || textOffset + textLength > data.size())
            return nullptr;
        std::string key = data.substr(keyOffset, keyLength);
        // Plural entries hold "msgid\0msgid_plural" and "form0\0form1...":
        // the singular lookup uses the first of each.
        key.resize(std::strlen(key.c_str()));
        std::string text = data.substr(textOffset, textLength);
        text.resize(std::strlen(text.c_str()));
        if (key.empty())
            continue;  // the catalogue's header entry
        catalogue->emplace(std::move(key), std::move(text));
    }
    return catalogue;
}

struct State {
    std::mutex mutex;
    bool fixed = false;
    std::string fixedLanguage;
    // Loaded catalogues by path; a failed load is kept as nullptr so it is
    // not retried. Never erased: translations handed out stay valid.
    std::map<std::string, std::unique_ptr<Catalogue>> catalogues;
};

State& GetState()
{
    static State* state = new State;  // outlives static destructors that may still log
    return *state;
}

const Catalogue* LoadCatalogue(State& state, const std::string& path)
{
    auto it = state.catalogues.find(path);
    if (it != state.catalogues.end())
        return it->second.get();
    std::unique_ptr<Catalogue> catalogue;
    std::ifstream in(path, std::ios::binary);
    if (in) {
        std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.bad())
            catalogue = ParseMo(data);
    }
    return state.catalogues.emplace(path, std::move(catalogue)).first->second.get();
}

bool IsCLocale(const std::string& name)
{
    return name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0 ||
           name.rfind("POSIX.", 0) == 0;
}

std::string GetEnv(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The variants gettext tries for one name: ll_CC@mod (codeset dropped),
// ll_CC, ll@mod, ll.
void AddVariants(std::vector<CString>& out, std::string name)
{
    std::string modifier;
    const size_t at = name.find('@');
    if (at != std::string::npos) {
        modifier = name.substr(at);
        name.erase(at);
    }
    const size_t dot = name.find('.');
    if (dot != std::string::npos)
        name.erase(dot);
    if (name.empty() || IsCLocale(name))
        return;
    const size_t underscore = name.find('_');
    const std::string language = name.substr(0, underscore);
    std::vector<std::string> variants{name + modifier, name};
    if (underscore != std::string::npos) {
        variants.push_back(language + modifier);
        variants.push_back(language);
    }
    for (const std::string& v : variants) {
        // Names become folder names: refuse anything that could leave the
        // locale folder.
        if (v.empty() || v.find('/') != std::string::npos || v == "." || v == "..")
            continue;
        bool seen = false;
        for (const CString& have : out)
            seen = seen || std::string(have.GetString()) == v;
        if (!seen)
            out.push_back(CString(v.c_str()));
    }
}

std::vector<CString> LanguagesFrom(const std::string& list)
{
    std::vector<CString> out;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        AddVariants(out, list.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

std::vector<CString> ChooseLanguages(const State& state)
{
    if (state.fixed)
        return LanguagesFrom(state.fixedLanguage);
    std::string locale = GetEnv("LC_ALL");
    if (locale.empty())
        locale = GetEnv("LC_MESSAGES");
    if (locale.empty())
        locale = GetEnv("LANG");
    if (IsCLocale(locale))
        return {};
    const std::string language = GetEnv("LANGUAGE");
    return LanguagesFrom(language.empty() ? locale : language);
}

std::string DirectoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

} // namespace

CString ZenGetLocaleDir()
{
    const std::string overridden = GetEnv("ZEN_LOCALEDIR");
    if (!overridden.empty())
        return CString(overridden.c_str());
    // The library's own place does not change while it is loaded: found once.
    static const std::string located = [] {
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(&ZenGetLocaleDir), &info) == 0 || info.dli_fname == nullptr)
            return std::string(kZenInstalledLocaleDir);
        const std::string libraryDir = DirectoryOf(info.dli_fname);
        if (libraryDir == kZenBuildLibraryDir)
            return std::string(kZenBuildLocaleDir);
        return libraryDir + "/" + kZenLibToLocaleDir;
    }();
    return CString(located.c_str());
}

void ZenSetLanguage(const CString& language)
{
    State& state = GetState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.fixed = !language.IsEmpty();
    state.fixedLanguage = language.GetString();
}

std::vector<CString> ZenGetLanguages()
{
    State& state = GetState();
    std::lock_guard<std::mutex> lock(state.mutex);
    return ChooseLanguages(state);
}

bool ZenCatalogueHasEntry(const char* domain, const CString& language, const char* msgctxt, const char* msgid)
{
    if (domain == nullptr || msgid == nullptr || language.IsEmpty())
        return false;
    const std::string path =
        std::string(ZenGetLocaleDir().GetString()) + "/" + language.GetString() + "/LC_MESSAGES/" + domain + ".mo";
    std::string key;
    if (msgctxt != nullptr) {
        key = msgctxt;
        key += '\x04';
    }
    key += msgid;
    State& state = GetState();
    std::lock_guard<std::mutex> lock(state.mutex);
    const Catalogue* catalogue = LoadCatalogue(state, path);
    if (catalogue == nullptr)
        return false;
    const auto it = catalogue->find(key);
    return it != catalogue->end() && !it->second.empty();
}

const char* ZenTranslate(const char* domain, const char* msgctxt, const char* msgid)
{
    if (msgid == nullptr || *msgid == '\0' || domain == nullptr)
        return msgid;
    State& state = GetState();
    const std::vector<CString> languages = [&] {
        std::lock_guard<std::mutex> lock(state.mutex);
        return ChooseLanguages(state);
    }();
    if (languages.empty())
        return msgid;
    const std::string dir = ZenGetLocaleDir().GetString();
    std::string key;
    if (msgctxt != nullptr) {
        key = msgctxt;
        key += '\x04';
    }
    key += msgid;
    std::lock_guard<std::mutex> lock(state.mutex);
    for (const CString& language : languages) {
        const std::string path =
            dir + "/" + language.GetString() + "/LC_MESSAGES/" + domain + ".mo";
        const Catalogue* catalogue = LoadCatalogue(state, path);
        if (catalogue == nullptr)
            continue;
        const auto it = catalogue->find(key);
        if (it != catalogue->end() && !it->second.empty())
            return it->second.c_str();
    }
    return msgid;
}
