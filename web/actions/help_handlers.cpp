#include "web/actions/help_handlers.h"

#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "daemon/config_store.h"
#include "daemon/daemon_context.h"
#include "daemon/http_codes.h"
#include "daemon/language.h"
#include "web/pages/help_page.h"
#include "web/pages/page_builder.h"

namespace {

constexpr int kPathSize = 256;

// The help folder of each language index.
const char* const kLanguageFolders[kLanguageCount] = {"en",  "de", "ja", "tzh",
                                                      "szh", "fr", "es", "it"};

// The kinds of help file by extension, tested in this order; an extension
// matches in lower or in upper case as written, over `compared` characters
// (".htm" over four, so ".html" matches too) or whole.
struct HelpKind {
    const char* lower;
    const char* upper;
    bool prefix;
    bool binary;
    unsigned content_type;
};

const HelpKind kHelpKinds[] = {
    {".gif", ".GIF", false, true, kContentGif},
    {".jpg", ".JPG", false, true, kContentJpeg},
    {".png", ".PNG", false, true, kContentPng},
    {".htm", ".HTM", true, false, kContentHtml},
    {".js", ".JS", false, false, kContentJavascript},
    {".xml", ".XML", false, false, kContentXml},
    {".css", ".CSS", false, false, kContentCss},
    {".jar", ".JAR", false, true, kContentJavaArchive},
};

bool extension_is(const char* extension, const char* name, bool prefix) {
    return prefix ? std::strncmp(extension, name, std::strlen(name)) == 0
                  : std::strcmp(extension, name) == 0;
}

const HelpKind* kind_of(const char* path) {
    const char* dot = std::strrchr(path, '.');
    const char* extension = dot != nullptr ? dot : path;
    for (const HelpKind& kind : kHelpKinds)
        if (extension_is(extension, kind.lower, kind.prefix) ||
            extension_is(extension, kind.upper, kind.prefix))
            return &kind;
    return nullptr;
}

// True when the text of length n holds ".." as one of its '/'-separated
// components.
bool has_parent_component(const char* text, size_t n) {
    size_t start = 0;
    for (size_t i = 0; i <= n; ++i) {
        if (i < n && text[i] != '/') continue;
        if (i - start == 2 && text[start] == '.' && text[start + 1] == '.') return true;
        start = i + 1;
    }
    return false;
}

// True when path names a regular file whose real path lies inside the real
// path of root, so that no symbolic link leads out of the help directory.
bool inside_root(const char* path, const char* root) {
    char real_root[PATH_MAX];
    char real_path[PATH_MAX];
    if (realpath(root, real_root) == nullptr || realpath(path, real_path) == nullptr) return false;
    const size_t n = std::strlen(real_root);
    const bool below = std::strncmp(real_path, real_root, n) == 0 &&
                       (real_path[n] == '/' || (n == 1 && real_root[0] == '/'));
    struct stat st;
    return below && stat(real_path, &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

int help_file_path(const char* url, const char* root, int language, char* out, int size) {
    const char* help = std::strstr(url, "/help");
    if (help == nullptr) return kHelpNotHelp;
    if (language < 0 || language >= kLanguageCount) return kHelpNoLanguageFolder;
    const char* rest = help + 5;
    const size_t n = std::strcspn(rest, "?");
    if (rest[0] != '/' || has_parent_component(rest, n)) return kHelpNotServed;
    const int written = std::snprintf(out, static_cast<size_t>(size), "%s/%s%.*s", root,
                                      kLanguageFolders[language], static_cast<int>(n), rest);
    if (written < 0 || written >= size) {
        out[0] = '\0';
        return kHelpNotServed;
    }
    return 0;
}

int handle_page5(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    const int c = context->get_param_c(request.url);
    return write_page5(*page, c < 0 || c > 254 ? 0 : c);
}

int handle_help(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    ConfigStore* config = context->config();
    char path[kPathSize];
    const int result =
        help_file_path(request.url, config->get_help(), config->get_language(), path, kPathSize);
    if (result != 0) return result;
    const HelpKind* kind = kind_of(path);
    if (kind == nullptr) return kHelpUnknownKind;
    if (!inside_root(path, config->get_help())) return kHelpNotServed;
    const int sent = kind->binary ? page->send_binary_file(path, kind->content_type)
                                  : page->send_text_file(path, kind->content_type);
    return sent == 0 ? 0 : static_cast<int>(kHelpNotServed);
}
