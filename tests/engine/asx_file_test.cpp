#include "engine/playlist/asx_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/playlist/av_playlist.h"
#include "engine/playlist/playlist_names.h"

namespace vexo {
namespace {

namespace fs = std::filesystem;

class AsxFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("vexo_asx_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  std::string WriteBytes(const std::string& name, const std::string& bytes) const {
    const std::string path = PathOf(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  static std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // Loads XML text written as UTF-8 without a byte-order mark.
  std::vector<std::string> Load(const std::string& xml) {
    TAVPlayList list;
    list.LoadFromFile(WriteBytes("in.asx", xml));
    std::vector<std::string> paths;
    for (int i = 0; i < list.Count(); ++i) paths.push_back(list.Strings(i));
    return paths;
  }

  fs::path dir_;
};

// Byte-order mark, then the text as UTF-16 LE; the tests only need ASCII here.
std::string Utf16LeFile(const std::string& ascii) {
  std::string bytes = "\xFF\xFE";
  for (char c : ascii) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

std::string SixLineExample(const std::string& title, const std::string& href) {
  return "<asx version=\"3.0\">\r\n"
         "\t<entry>\r\n"
         "\t\t<title>" +
         title +
         "</title>\r\n"
         "\t\t<ref href=\"" +
         href +
         "\"/>\r\n"
         "\t</entry>\r\n"
         "</asx>\r\n";
}

TEST_F(AsxFile, OneEntryIsWrittenAsTheSixLineFileAndReadsBackUnchanged) {
  for (const std::string entry : {"D:\\Video\\clip1.avi", "/home/anna/Video/clip1.avi"}) {
    SCOPED_TRACE(entry);
    TAVPlayList list;
    list.Add(entry);
    const std::string path = PathOf("Party mix.asx");
    list.SaveToFile(path);
    EXPECT_EQ(ReadBytes(path), Utf16LeFile(SixLineExample("clip1.avi", entry)));
    EXPECT_EQ(list.FileName(), path);
    EXPECT_EQ(list.Name(), "Party mix");

    TAVPlayList loaded;
    loaded.LoadFromFile(path);
    ASSERT_EQ(loaded.Count(), 1);
    EXPECT_EQ(loaded.Strings(0), entry);
    EXPECT_EQ(loaded.FileName(), path);
    EXPECT_EQ(loaded.Name(), "Party mix");
    EXPECT_FALSE(loaded.AllItemsKnown());
  }
}

TEST_F(AsxFile, AnEmptyListIsOneLineAndStillNamesTheList) {
  TAVPlayList list;
  const std::string path = PathOf("empty.list.asx");
  list.SaveToFile(path);
  EXPECT_EQ(ReadBytes(path), Utf16LeFile("<asx version=\"3.0\"/>\r\n"));
  EXPECT_EQ(list.FileName(), path);
  EXPECT_EQ(list.Name(), "empty.list");
}

TEST_F(AsxFile, SavingOverwritesAndKeepsEntryOrderAndDuplicates) {
  const std::string path = WriteBytes("list.asx", std::string(10000, 'x'));
  TAVPlayList list;
  for (const char* entry : {"b.avi", "a.avi", "b.avi"}) list.Add(entry);
  list.SaveToFile(path);
  EXPECT_EQ(Load(ReadBytes(path)), (std::vector<std::string>{"b.avi", "a.avi", "b.avi"}));
}

TEST_F(AsxFile, SpecialCharactersAreEscapedAndRestored) {
  const std::vector<std::string> entries = {
      "/v/Tom & Jerry <1>.avi",
      "/v/\"quoted\" 'single'.mpg",
      "/v/a\" />b.mp4",
      " /v/leading and trailing ",
      "/v/line\nbreak\tand tab.avi",
      "/v/caf\xC3\xA9 \xF0\x9F\x8E\xAC.mov",  // é and a character outside the BMP
      "/v/&amp;already-escaped.avi",
  };
  TAVPlayList list;
  for (const auto& entry : entries) list.Add(entry);
  const std::string path = PathOf("escaped.asx");
  list.SaveToFile(path);

  const std::string bytes = ReadBytes(path);
  EXPECT_NE(bytes.find(Utf16LeFile("Tom &amp; Jerry &lt;1").substr(2)), std::string::npos);
  EXPECT_NE(bytes.find(Utf16LeFile("&quot;quoted&quot;").substr(2)), std::string::npos);

  TAVPlayList loaded;
  loaded.LoadFromFile(path);
  ASSERT_EQ(loaded.Count(), static_cast<int>(entries.size()));
  for (int i = 0; i < loaded.Count(); ++i) EXPECT_EQ(loaded.Strings(i), entries[i]);
}

TEST_F(AsxFile, AnEntryWithANulIsRefusedInsteadOfCutShort) {
  TAVPlayList list;
  list.Add("/v/fine.avi");
  list.Add(std::string("/v/a\0b", 5));
  const std::string path = PathOf("bad.asx");
  EXPECT_THROW(list.SaveToFile(path), TPlayListFileError);
  EXPECT_EQ(list.FileName(), "");
  EXPECT_EQ(list.Count(), 2);
  EXPECT_FALSE(fs::exists(path));
}

// File names are bytes: one that is not UTF-8 travels as a file URL and comes back exact, and
// so does an entry that already looks like a file URL.
TEST_F(AsxFile, ByteNamesAndFileUrlsRoundTripExactly) {
  const std::vector<std::string> entries = {"/v/latin1-\xE9.avi", "relative/\xFF\xFE name%41.mpg",
                                            "file:///v/x%20y.avi", "FILE://odd", "/v/plain.avi"};
  TAVPlayList list;
  for (const std::string& entry : entries) list.Add(entry);
  const std::string path = PathOf("bytes.asx");
  list.SaveToFile(path);
  const std::string written = ReadBytes(path);
  EXPECT_NE(written.find(Utf16LeFile("\"file:///v/latin1-%E9.avi\"").substr(2)), std::string::npos);
  EXPECT_NE(written.find(Utf16LeFile("\"/v/plain.avi\"").substr(2)), std::string::npos);
  TAVPlayList loaded;
  loaded.LoadFromFile(path);
  ASSERT_EQ(loaded.Count(), int(entries.size()));
  for (int i = 0; i < loaded.Count(); ++i) EXPECT_EQ(loaded.Strings(i), entries[size_t(i)]) << i;
}

TEST_F(AsxFile, FileUrlsOfOtherProgramsLoadAsPaths) {
  EXPECT_EQ(Load("<asx><entry><ref href='file:///home/u/My%20Clip.avi'/></entry>"
                 "<entry><ref href='file://localhost/a/b.mpg'/></entry>"
                 "<entry><ref href='file:///broken%2'/></entry></asx>"),
            (std::vector<std::string>{"/home/u/My Clip.avi", "/a/b.mpg", "file:///broken%2"}));
}

TEST_F(AsxFile, SaveFailureRaisesTheFileSystemErrorAndKeepsTheList) {
  TAVPlayList list;
  list.Add("a.avi");
  list.SaveToFile(PathOf("first.asx"));
  try {
    list.SaveToFile(PathOf("no/such/dir/x.asx"));
    FAIL() << "no error";
  } catch (const TPlayListFileError& error) {
    EXPECT_NE(std::string(error.what()).find("No such file or directory"), std::string::npos)
        << error.what();
  }
  EXPECT_EQ(list.FileName(), PathOf("first.asx"));
  EXPECT_EQ(list.Name(), "first");
  EXPECT_EQ(list.Count(), 1);
}

struct ReadCase {
  const char* what;
  const char* xml;
  std::vector<std::string> entries;
};

TEST_F(AsxFile, WhichChildrenOfTheRootGiveEntries) {
  const ReadCase cases[] = {
      {"any root name, no version",
       "<playlist><item><ref href='a.avi'/></item><x><ref href='b.avi'/></x></playlist>",
       {"a.avi", "b.avi"}},
      {"ref matched without case, HREF not",
       "<asx><entry><REF HREF='upper.avi'/></entry><entry><Ref href='mixed.avi'/></entry>"
       "<entry><REF href='a.avi'/></entry></asx>",
       {"mixed.avi", "a.avi"}},
      {"empty or missing href adds nothing, the next entry still counts",
       "<asx><entry><ref href=''/></entry><entry><ref/></entry><entry><ref href='c.avi'/></entry>"
       "</asx>",
       {"c.avi"}},
      {"only the first ref of an entry",
       "<asx><entry><ref href='first.avi'/><ref href='second.avi'/></entry>"
       "<entry><ref href=''/><ref href='ignored.avi'/></entry></asx>",
       {"first.avi"}},
      {"a comment first ends the walk",
       "<asx><!-- made by hand --><entry><ref href='a.avi'/></entry></asx>",
       {}},
      {"an empty element first ends the walk",
       "<asx><meta/><entry><ref href='a.avi'/></entry></asx>",
       {}},
      {"a processing instruction first ends the walk",
       "<asx><?app x?><entry><ref href='a.avi'/></entry></asx>",
       {}},
      {"an empty element later ends the walk there",
       "<asx><entry><ref href='a.avi'/></entry><entry/><entry><ref href='b.avi'/></entry></asx>",
       {"a.avi"}},
      {"a foreign file with a title first",
       "<ASX version=\"3\">\n  <TITLE>Summer</TITLE>\n  <ENTRY>\n    <TITLE>One</TITLE>\n"
       "    <REF href=\"one.wmv\"/>\n  </ENTRY>\n  <ENTRY><Ref "
       "href=\"two.wmv\"/></ENTRY>\n</ASX>\n",
       {"one.wmv", "two.wmv"}},
      {"entries without ref and title text are ignored",
       "<asx><entry><title>x.avi</title></entry><entry><title>y</title><ref href='z.avi'/></entry>"
       "</asx>",
       {"z.avi"}},
      {"nested entries are not followed",
       "<asx><group><entry><ref href='deep.avi'/></entry></group><entry><ref href='a.avi'/>"
       "</entry></asx>",
       {"a.avi"}},
      {"a root without children", "<asx version='3.0'/>", {}},
      {"text directly in the root", "<asx>loose<entry><ref href='a.avi'/></entry></asx>", {}},
      {"references and CR LF in values",
       "<asx>\r\n<entry><ref href='a&amp;b&#10;c&#x263A;.avi'/></entry>\r\n</asx>\r\n",
       {"a&b\nc\xE2\x98\xBA.avi"}},
      {"a declaration and a doctype before the root",
       "<?xml version='1.0'?><!DOCTYPE asx><asx><entry><ref href='a.avi'/></entry></asx>",
       {"a.avi"}},
  };
  for (const ReadCase& c : cases) EXPECT_EQ(Load(c.xml), c.entries) << c.what;
}

std::string Utf16File(std::u16string_view text, bool big_endian) {
  std::string bytes;
  for (char16_t unit : u"\uFEFF" + std::u16string(text)) {
    const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
    bytes += big_endian ? high : low;
    bytes += big_endian ? low : high;
  }
  return bytes;
}

TEST_F(AsxFile, EncodingComesFromByteOrderMarkOrDeclaration) {
  const std::string utf8 = "<asx><entry><ref href='caf\xC3\xA9.avi'/></entry></asx>";
  const std::u16string utf16 = u"<asx><entry><ref href='caf\u00E9.avi'/></entry></asx>";
  const std::pair<const char*, std::string> files[] = {
      {"UTF-8", utf8},
      {"UTF-8 with mark", "\xEF\xBB\xBF" + utf8},
      {"UTF-16 LE with mark", Utf16File(utf16, false)},
      {"UTF-16 BE with mark", Utf16File(utf16, true)},
      {"declared ISO-8859-1",
       "<?xml version='1.0' encoding='ISO-8859-1'?><asx><entry><ref href='caf\xE9.avi'/>"
       "</entry></asx>"},
  };
  for (const auto& [what, bytes] : files)
    EXPECT_EQ(Load(bytes), std::vector<std::string>{"caf\xC3\xA9.avi"}) << what;
}

TEST_F(AsxFile, UnreadableOrMalformedFilesRaiseAndLeaveTheListEmpty) {
  const std::pair<const char*, std::string> files[] = {
      {"missing", PathOf("missing.asx")},
      {"a directory", dir_.string()},
      {"empty", WriteBytes("empty.asx", "")},
      {"not XML", WriteBytes("text.asx", "just some text")},
      {"tags mismatch", WriteBytes("mismatch.asx", "<asx><entry><ref href='a'/></asx>")},
      {"truncated", WriteBytes("cut.asx", "<asx><entry><ref href='a.avi'/></entry>")},
      {"bad attribute", WriteBytes("attr.asx", "<asx><entry><ref href=a.avi/></entry></asx>")},
  };
  for (const auto& [what, path] : files) {
    SCOPED_TRACE(what);
    TAVPlayList list;
    list.Add("old.avi");
    list.SaveToFile(PathOf("old.asx"));
    try {
      list.LoadFromFile(path);
      ADD_FAILURE() << "no error";
    } catch (const TPlayListFileError& error) {
      EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
    }
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.FileName(), "");
    EXPECT_EQ(list.Name(), "");
  }
}

TEST_F(AsxFile, AFileWithoutEntriesEmptiesTheListAndItsNames) {
  TAVPlayList list;
  list.Add("old.avi");
  list.SetItemInfo(0, 1, 1, 0);
  list.SaveToFile(PathOf("old.asx"));
  list.LoadFromFile(WriteBytes("none.asx", "<asx><entry><title>t</title></entry></asx>"));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.FileName(), "");
  EXPECT_EQ(list.Name(), "");
}

TEST_F(AsxFile, HostileFilesLoadWithoutExpandingOrRecursing) {
  // Entities are never expanded: the reference stays as text.
  std::string laughs = "<?xml version='1.0'?><!DOCTYPE asx [<!ENTITY lol 'lol'>";
  for (int i = 1; i <= 9; ++i) {
    laughs += "<!ENTITY lol" + std::to_string(i) + " '";
    for (int j = 0; j < 10; ++j)
      laughs += "&lol" + (i == 1 ? std::string() : std::to_string(i - 1)) + ";";
    laughs += "'>";
  }
  laughs += "]><asx><entry><ref href='&lol9;'/></entry></asx>";
  EXPECT_EQ(Load(laughs), std::vector<std::string>{"&lol9;"});

  std::string external =
      "<!DOCTYPE asx [<!ENTITY x SYSTEM 'file:///etc/passwd'>]>"
      "<asx><entry><ref href='&x;'/></entry></asx>";
  EXPECT_EQ(Load(external), std::vector<std::string>{"&x;"});

  constexpr int kDepth = 1'000'000;
  std::string deep = "<asx><entry><ref href='a.avi'/></entry>";
  for (int i = 0; i < kDepth; ++i) deep += "<e>";
  for (int i = 0; i < kDepth; ++i) deep += "</e>";
  deep += "</asx>";
  EXPECT_EQ(Load(deep), std::vector<std::string>{"a.avi"});

  const std::string huge(32 << 20, 'h');
  EXPECT_EQ(Load("<asx><entry><ref href='" + huge + "'/></entry></asx>"),
            std::vector<std::string>{huge});
}

TEST_F(AsxFile, ALargeListRoundTrips) {
  TAVPlayList list;
  for (int i = 0; i < 100'000; ++i) list.Add("/media/videos/folder " + std::to_string(i) + ".mp4");
  const std::string path = PathOf("large.asx");
  list.SaveToFile(path);
  TAVPlayList loaded;
  loaded.LoadFromFile(path);
  ASSERT_EQ(loaded.Count(), 100'000);
  EXPECT_EQ(loaded.Strings(99'999), "/media/videos/folder 99999.mp4");
}

TEST(PlayListNames, TitleDropsFolderAndLastExtension) {
  const std::pair<const char*, const char*> cases[] = {
      {"D:\\Lists\\Party mix.asx", "Party mix"},
      {"/home/anna/lists/party.mix.asx", "party.mix"},
      {"/home/anna/dir.d/noext", "noext"},
      {"C:list.asx", "list"},
      {"list.asx", "list"},
      {"/home/anna/.asx", ""},
  };
  for (const auto& [path, title] : cases) EXPECT_EQ(PlayListTitle(path), title) << path;
}

}  // namespace
}  // namespace vexo
