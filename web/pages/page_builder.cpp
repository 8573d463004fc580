#include "web/pages/page_builder.h"

#include <cstdio>
#include <cstring>

#include "daemon/config_store.h"
#include "daemon/date_formatter.h"
#include "daemon/http_codes.h"
#include "daemon/language.h"
#include "driver/message_catalogue.h"
#include "web/pages/builtin_logos.h"

namespace {

constexpr int kPieceSize = 1024;

// The interface languages by language index, as UTF-8.
const char* const kLanguageDisplayNames[] = {
    "English",
    "Deutsch",
    "\xE6\x97\xA5\xE6\x9C\xAC",
    "\xE4\xB8\xAD\xE6\x96\x87\x28\xE7\xB9\x81\x29",
    "\xE4\xB8\xAD\xE6\x96\x87\x28\xE7\xAE\x80\x29",
    "Fran\xC3\xA7" "ais",
    "Espa\xC3\xB1ol",
    "Italiano",
};

// The built-in images: URL, characters compared (the name and its NUL, so
// only an exact name matches), bytes.
struct BuiltinImage {
    const char* url;
    size_t compared;
    const unsigned char* bytes;
    int count;
};

const BuiltinImage kBuiltinImages[] = {
    {"/logo.gif", 10, kBuiltinLogo, static_cast<int>(sizeof(kBuiltinLogo))},
    {"/plogo.gif", 11, kBuiltinProductLogo, static_cast<int>(sizeof(kBuiltinProductLogo))},
};

bool is_text_kind(unsigned kind) {
    return kind == kContentHtml || kind == kContentPlain || kind == kContentJavascript ||
           kind == kContentXml || kind == kContentCss;
}

bool is_binary_kind(unsigned kind) {
    return kind == kContentGif || kind == kContentJpeg || kind == kContentBinary ||
           kind == kContentJavaArchive || kind == kContentIcon || kind == kContentPng;
}

// Appends the whole file at path to out in pieces. Returns false when the
// file cannot be opened; a piece that cannot be added ends the read.
bool append_binary_file(ByteBuffer& out, const char* path) {
    FILE* f = fopen(path, "rb");
    if (f == nullptr) return false;
    unsigned char piece[kPieceSize];
    size_t n;
    while ((n = fread(piece, 1, sizeof(piece), f)) > 0) {
        if (out.append(piece, static_cast<int>(n)) != 0) break;
    }
    fclose(f);
    return true;
}

}  // namespace

PageBuilder::PageBuilder(ConfigStore* config, MessageCatalogue* catalogue)
    : content_type_(kContentHtml),
      access_level_(kAccessNone),
      date_formatter_(new DateFormatter(config, catalogue)),
      script_writer_(new ScriptWriter(config, catalogue)),
      config_(config),
      catalogue_(catalogue) {
    cookie_[0] = '\0';
    for (int i = 0; i < kLanguageNames; ++i) {
        language_name_text_[i].append(kLanguageDisplayNames[i]);
        language_names_[i] = language_name_text_[i].c_str();
    }
}

PageBuilder::~PageBuilder() {
    delete date_formatter_;
    delete script_writer_;
}

const char* PageBuilder::get_body() const {
    if (is_text_kind(content_type_)) return text_body_.c_str();
    if (is_binary_kind(content_type_)) return reinterpret_cast<const char*>(binary_body_.data());
    return nullptr;
}

int PageBuilder::get_body_length() const {
    if (is_text_kind(content_type_)) return text_body_.length();
    if (is_binary_kind(content_type_)) return binary_body_.length();
    return 0;
}

int PageBuilder::set_cookie(const char* cookie) {
    snprintf(cookie_, sizeof(cookie_), "%s", cookie != nullptr ? cookie : "");
    return 0;
}

int PageBuilder::set_access_level(uint32_t level) {
    access_level_ = level;
    return 0;
}

int PageBuilder::set_language(int) { return 0; }

const char* PageBuilder::get_language_name(int index) const {
    return index >= 0 && index < kLanguageNames ? language_names_[index] : "";
}

int PageBuilder::language() const { return checked_language(config_->get_language()); }

const char* PageBuilder::web_text(int code) {
    return catalogue_->lookup(19, code, config_->get_msg_path(), static_cast<uint8_t>(language()));
}

const char* PageBuilder::daemon_text(int code) {
    return catalogue_->lookup(12, code, config_->get_msg_path(), static_cast<uint8_t>(language()));
}

int PageBuilder::refresh_timeout() const {
    const long long ms = static_cast<long long>(config_->get_refresh()) * 60000;
    return ms > 0 && ms <= 0x7FFFFFFF ? static_cast<int>(ms) : 0;
}

int PageBuilder::send_logo(const char* url) { return send_logo_from(url, config_->get_logo_dir()); }

int PageBuilder::send_logo_from(const char* url, const char* logo_dir) {
    content_type_ = kContentGif;
    if (url == nullptr) return 1;
    const bool product = strcmp(url, "/plogo.gif") == 0;
    if ((product || strcmp(url, "/logo.gif") == 0) && config_->get_oem() == 1) {
        StringBuilder path;
        path.append(logo_dir).append("/").append(product ? "plogo.gif" : "logo.gif");
        append_binary_file(binary_body_, path.c_str());
        if (binary_body_.length() > 0) return 0;
    }
    int result = 1;
    for (const BuiltinImage& image : kBuiltinImages) {
        if (strncmp(url, image.url, image.compared) != 0) continue;
        if (binary_body_.append(image.bytes, image.count) == 0) return 0;
        result = 2;
    }
    return result;
}

int PageBuilder::send_favicon() {
    content_type_ = kContentIcon;
    StringBuilder path;
    path.append(config_->get_logo_dir()).append("/favicon.ico");
    return append_binary_file(binary_body_, path.c_str()) ? 0 : 1;
}

int PageBuilder::send_binary_file(const char* path, unsigned content_type) {
    if (path == nullptr) return 1;
    if (path[0] == '\0') return 2;
    content_type_ = content_type;
    return append_binary_file(binary_body_, path) ? 0 : 3;
}

int PageBuilder::send_text_file(const char* path, unsigned content_type) {
    if (path == nullptr) return 1;
    if (path[0] == '\0') return 2;
    content_type_ = content_type;
    FILE* f = fopen(path, "r");
    if (f == nullptr) return 3;
    char line[kPieceSize];
    while (fgets(line, sizeof(line), f) != nullptr) text_body_.append(line);
    fclose(f);
    return 0;
}

int PageBuilder::send_smart_dat(const unsigned char* bytes, int count) {
    content_type_ = kContentBinary;
    binary_body_.append(bytes, count);
    return 0;
}

int PageBuilder::send_encl_diaglog(const unsigned char* bytes, int count) {
    return send_smart_dat(bytes, count);
}

int PageBuilder::send_errorlog(const unsigned char* bytes, int count) {
    return send_smart_dat(bytes, count);
}
