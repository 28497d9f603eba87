#include "engine/playlist/asx_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <pugixml.hpp>
#include <string_view>

#include "engine/playlist/playlist_names.h"

namespace vexo {

namespace {

// Comments and processing instructions must stay in the tree: one of them directly under the
// root ends the list of entries, as it does for the other programs that read these files.
// No DOCTYPE is kept and no entity is ever expanded, so entity bombs stay inert text.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments | pugi::parse_pi;

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string FromFileUrl(const std::string& href);

// Only the first `ref` of an entry counts, even when it turns out to be unusable.
void ReadEntry(const pugi::xml_node& entry, std::vector<std::string>& entries) {
  for (pugi::xml_node child = entry.first_child(); child; child = child.next_sibling()) {
    if (!EqualsIgnoringAsciiCase(child.name(), "ref")) continue;
    const pugi::xml_attribute href = child.attribute("href");
    if (href && *href.value()) entries.push_back(FromFileUrl(href.value()));
    return;
  }
}

std::string LoadErrorText(const std::string& path, const pugi::xml_parse_result& result) {
  std::string text = path + ": " + result.description();
  if (result.status != pugi::status_file_not_found && result.status != pugi::status_io_error)
    text += " at offset " + std::to_string(result.offset);
  return text;
}

bool IsValidUtf8(const std::string& text) {
  return pugi::as_utf8(pugi::as_wide(text)) == text;
}

// A file name on this system is bytes, not text: a path that is not UTF-8 cannot stand in the
// file as it is, since pugixml would drop its stray bytes while converting to UTF-16. Such a path
// goes in as a file URL, whose %XX escapes carry any byte; a path that itself starts like a file
// URL goes the same way, so that reading decodes exactly the entries that were encoded.
constexpr std::string_view kFileUrl = "file://";

bool StartsWithFileUrl(std::string_view text) {
  return text.size() >= kFileUrl.size() &&
         EqualsIgnoringAsciiCase(text.substr(0, kFileUrl.size()), kFileUrl);
}

bool NeedsFileUrl(const std::string& path) {
  return !IsValidUtf8(path) || StartsWithFileUrl(path);
}

std::string ToFileUrl(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string url(kFileUrl);
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
        (byte >= '0' && byte <= '9') ||
        std::string_view("/-._~").find(c) != std::string_view::npos) {
      url += c;
    } else {
      url += '%';
      url += kHex[byte >> 4];
      url += kHex[byte & 0xF];
    }
  }
  return url;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A file URL (ours, or another program's) becomes the path it names; anything else, including
// a URL with a broken escape, stays as it was written.
std::string FromFileUrl(const std::string& href) {
  if (!StartsWithFileUrl(href)) return href;
  std::string_view rest = std::string_view(href).substr(kFileUrl.size());
  if (rest.substr(0, 10) == "localhost/") rest.remove_prefix(9);
  std::string path;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] != '%') {
      path += rest[i];
      continue;
    }
    if (i + 2 >= rest.size()) return href;
    const int high = HexValue(rest[i + 1]);
    const int low = HexValue(rest[i + 2]);
    if (high < 0 || low < 0 || (high == 0 && low == 0)) return href;
    path += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return path;
}

std::string WriteErrorText(const char* verb, const std::string& path, int error) {
  return std::string("Cannot ") + verb + " file \"" + path + "\". " + std::strerror(error);
}

struct ByteCollector : pugi::xml_writer {
  std::string bytes;
  void write(const void* data, size_t size) override {
    bytes.append(static_cast<const char*>(data), size);
  }
};

// pugixml indents with LF and closes empty elements with " />"; the file format wants CR LF
// and "/>". Escaping guarantees that neither pattern occurs inside a value: quotes in
// attributes become &quot;, '>' in text becomes &gt;, and line breaks in attributes become
// character references.
std::u16string ToFileLayout(const std::string& utf16le) {
  std::u16string units;
  units.reserve(utf16le.size() / 2 + utf16le.size() / 8);
  for (size_t i = 0; i + 1 < utf16le.size(); i += 2) {
    const auto low = static_cast<unsigned char>(utf16le[i]);
    const auto high = static_cast<unsigned char>(utf16le[i + 1]);
    const auto unit = static_cast<char16_t>(low | (high << 8));
    if (unit == u'\n') {
      units += u"\r\n";
    } else if (unit == u'>' && units.ends_with(u"\" /")) {
      units.replace(units.size() - 2, 2, u"/>");
    } else {
      units += unit;
    }
  }
  return units;
}

std::string ToLittleEndianBytes(const std::u16string& units) {
  std::string bytes;
  bytes.reserve(units.size() * 2);
  for (char16_t unit : units) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

}  // namespace

std::vector<std::string> ReadAsxFile(const std::string& path) {
  // Reading a directory makes pugixml report an allocation failure; say what really happened.
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    pugi::xml_parse_result result;
    result.status = pugi::status_io_error;
    throw TPlayListFileError(LoadErrorText(path, result));
  }
  pugi::xml_document document;
  const pugi::xml_parse_result result =
      document.load_file(path.c_str(), kParseOptions, pugi::encoding_auto);
  if (!result) throw TPlayListFileError(LoadErrorText(path, result));

  // The walk stops at the first child of the root that has no children of its own (an empty
  // element, a comment, a processing instruction), so a title with text is passed over.
  std::vector<std::string> entries;
  const pugi::xml_node root = document.document_element();
  for (pugi::xml_node child = root.first_child(); child && child.first_child();
       child = child.next_sibling())
    ReadEntry(child, entries);
  return entries;
}

void WriteAsxFile(const std::string& path, const std::vector<std::string>& entries) {
  pugi::xml_document document;
  pugi::xml_node root = document.append_child("asx");
  root.append_attribute("version") = "3.0";
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string& entry_path = entries[i];
    // No file name holds a NUL; an entry that does could only be written cut short.
    if (entry_path.find('\0') != std::string::npos)
      throw TPlayListFileError("Cannot write file \"" + path + "\": entry " +
                               std::to_string(i + 1) + " holds a NUL character");
    const std::string title = PathFileNamePart(entry_path);
    pugi::xml_node entry = root.append_child("entry");
    entry.append_child("title").text() = pugi::as_utf8(pugi::as_wide(title)).c_str();
    entry.append_child("ref").append_attribute("href") =
        (NeedsFileUrl(entry_path) ? ToFileUrl(entry_path) : entry_path).c_str();
  }

  ByteCollector collector;
  document.save(collector, "\t",
                pugi::format_indent | pugi::format_no_declaration | pugi::format_write_bom,
                pugi::encoding_utf16_le);
  const std::string bytes = ToLittleEndianBytes(ToFileLayout(collector.bytes));

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                       &std::fclose);
  if (!file) throw TPlayListFileError(WriteErrorText("create", path, errno));
  if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
    throw TPlayListFileError(WriteErrorText("write", path, errno));
  if (std::fclose(file.release()) != 0)
    throw TPlayListFileError(WriteErrorText("write", path, errno));
}

}  // namespace vexo
