#include <winapi/registry_file.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <vector>

namespace {

using winapi::ParseRegistryText;
using winapi::RegistryFile;
using winapi::RegistryKey;
using winapi::RegistryValue;

std::string Parse(const std::string &text, RegistryKey *machine) {
  std::string error;
  return ParseRegistryText(text, machine, &error) ? "" : error;
}

std::string Dword(DWORD n) { return std::string{char(n), char(n >> 8), char(n >> 16), char(n >> 24)}; }

TEST(RegistryFile, ReadsEveryKindOfValueUnderBothHeaders) {
  const std::string body =
      "\n; the adapter's instance\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\cvlan1\\Parameters]\n"
      "\"IoBaseAddress\"=dword:00000340\n"
      "\"Short\"=dword:7\n"
      "  \"Path\" = \"C:\\\\cv \\\"lan\\\"\"   ; trailing comment\n"
      "@=\"default\"\n"
      "\"Blob\"=hex:01,02,\\\n"
      "  ff,\\\n"
      "  0a\n"
      "\"Empty\"=hex:\n"
      "\"Quad\"=hex(b):01,00,00,00,00,00,00,00\n";
  for (const std::string header : {"Windows Registry Editor Version 5.00", "REGEDIT4"}) {
    RegistryKey machine;
    ASSERT_EQ(Parse(header + "\r\n" + body, &machine), "") << header;
    const RegistryKey *key = machine.FindPath("system\\currentcontrolset\\SERVICES\\CVLAN1\\parameters");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->values().size(), 7u);
    EXPECT_EQ(key->values()[0].type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(key->values()[0].data, Dword(0x340));
    EXPECT_EQ(key->FindValue("short")->data, Dword(7));
    EXPECT_EQ(key->FindValue("PATH")->data, std::string("C:\\cv \"lan\"\0", 12));
    EXPECT_EQ(key->FindValue("")->data, std::string("default\0", 8));
    EXPECT_EQ(key->FindValue("Blob")->type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(key->FindValue("Blob")->data, "\x01\x02\xff\x0a");
    EXPECT_EQ(key->FindValue("Empty")->data, "");
    EXPECT_EQ(key->FindValue("Quad")->type, static_cast<DWORD>(REG_QWORD));
    EXPECT_EQ(key->FindValue("Quad")->data, std::string("\x01\0\0\0\0\0\0\0", 8));
  }
}

TEST(RegistryFile, HexStringsAreUtf16OnlyInVersion5Files) {
  RegistryKey v5, v4;
  ASSERT_EQ(Parse("Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n"
                  "\"E\"=hex(2):25,00,41,00,25,00,00,00\n\"M\"=hex(7):61,00,00,00,62,00,00,00,00,00\n",
                  &v5),
            "");
  EXPECT_EQ(v5.FindPath("K")->FindValue("E")->data, std::string("%A%\0", 4));
  EXPECT_EQ(v5.FindPath("K")->FindValue("E")->type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(v5.FindPath("K")->FindValue("M")->data, std::string("a\0b\0\0", 5));
  ASSERT_EQ(Parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"E\"=hex(2):25,41,25,00\n", &v4), "");
  EXPECT_EQ(v4.FindPath("K")->FindValue("E")->data, std::string("%A%\0", 4));
}

TEST(RegistryFile, SubkeysSortByUpperCasedNameAndValuesKeepFileOrder) {
  RegistryKey machine;
  ASSERT_EQ(Parse("REGEDIT4\n"
                  "[HKEY_LOCAL_MACHINE\\S\\_x]\n[HKEY_LOCAL_MACHINE\\S\\Cvlan10]\n"
                  "[HKEY_LOCAL_MACHINE\\S\\CVLAN2]\n[hkey_local_machine\\s\\cvlan1]\n"
                  "\"zeta\"=dword:1\n\"Alpha\"=dword:2\n\"mid\"=dword:3\n\"ALPHA\"=dword:4\n",
                  &machine),
            "");
  const RegistryKey *services = machine.FindPath("S");
  ASSERT_NE(services, nullptr);
  std::vector<std::string> names;
  for (size_t i = 0; i < services->SubkeyCount(); ++i) names.push_back(services->Subkey(i).name());
  EXPECT_EQ(names, (std::vector<std::string>{"cvlan1", "Cvlan10", "CVLAN2", "_x"}));
  EXPECT_EQ(machine.SubkeyCount(), 1u);
  EXPECT_EQ(machine.Subkey(0).name(), "S"); // the first spelling stays

  const auto &values = services->FindSubkey("CVLAN1")->values();
  ASSERT_EQ(values.size(), 3u); // a repeated name keeps its place and takes the last data
  EXPECT_EQ(values[0].name, "zeta");
  EXPECT_EQ(values[1].name, "Alpha");
  EXPECT_EQ(values[1].data, Dword(4));
  EXPECT_EQ(values[2].name, "mid");
}

TEST(RegistryFile, MalformedTextIsAnErrorWithItsLineAndLeavesNothing) {
  const std::pair<const char *, const char *> cases[] = {
      {"", "line 0: no header"},
      {"REGEDIT5\n", "line 1: the first line is not a header"},
      {"REGEDIT4\n\"a\"=dword:1\n", "line 2: a value before"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K\n", "line 2: a section without"},
      {"REGEDIT4\n[HKLM\\K]\n", "line 2: 'HKLM' is not a root"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K\\\\L]\n", "line 2: an empty key name"},
      {"REGEDIT4\n[-HKEY_LOCAL_MACHINE]\n", "line 2: a whole root cannot be deleted"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=-1\n", "line 3: text after the deletion"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:123456789\n", "line 3: dword: needs"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:\n", "line 3: dword: needs"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:12 34\n", "line 3: text after the dword"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:01,zz\n", "line 3: not a hex byte"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:01 02\n", "line 3: hex bytes must be separated"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:01,\\\n", "line 3: the file ends inside"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex(x):01\n", "line 3: hex(type): needs"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"open\n", "line 3: a quoted text without"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"x\"y\n", "line 3: text after the closing"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\" dword:1\n", "line 3: '=' expected"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=word:1\n", "line 3: unknown data"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\nname=dword:1\n",
       "line 3: neither a [key] section nor a \"name\"=data value: found 'name=dword:1'"},
      {"Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex(1):41\n", "line 3: UTF-16"},
  };
  for (const auto &[text, expected] : cases) {
    RegistryKey machine;
    machine.CreatePath("Stale");
    std::string error = Parse(text, &machine);
    EXPECT_EQ(error.rfind(expected, 0), 0u) << text << " gave: " << error;
    EXPECT_EQ(machine.SubkeyCount(), 0u) << text;
  }
  RegistryKey machine;
  EXPECT_NE(Parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + std::string(256, 'k') + "]\n", &machine), "");
  EXPECT_EQ(Parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + std::string(255, 'k') + "]\n", &machine), "");
  // 512 levels below the root, as deep as NT goes; one more is an error.
  std::string deep = "k";
  for (int level = 2; level <= 512; ++level) deep += "\\k";
  EXPECT_EQ(Parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + deep + "]\n", &machine), "");
  EXPECT_EQ(
      Parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + deep + "\\k]\n", &machine).rfind("line 2: a key more than 512", 0), 0u);
}

// A hand-made file may hold very many keys and values in any order. Each key
// used to be inserted into its sorted place, and each value looked up among
// those before it, one by one: 400,000 of either took minutes.
TEST(RegistryFile, ManyKeysInAnyOrderAndManyValuesReadInLinearTime) {
  const int count = 400000;
  std::vector<int> order(count);
  for (int i = 0; i < count; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), std::mt19937(7));
  std::string text = "REGEDIT4\n";
  for (int key : order) text += "[HKEY_LOCAL_MACHINE\\K" + std::to_string(key) + "]\n";
  text += "[HKEY_LOCAL_MACHINE\\V]\n";
  for (int value : order) text += "\"v" + std::to_string(value) + "\"=dword:1\n";
  auto start = std::chrono::steady_clock::now();
  RegistryKey machine;
  ASSERT_EQ(Parse(text, &machine), "");
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 40.0); // 1.5 s, 15 s under ASan on a busy machine; it was 52 s
  ASSERT_EQ(machine.SubkeyCount(), static_cast<size_t>(count) + 1);
  for (size_t i = 1; i < machine.SubkeyCount(); ++i)
    ASSERT_LT(machine.Subkey(i - 1).name(), machine.Subkey(i).name()) << i; // upper-case K, V: byte order
  const RegistryKey *values = machine.FindSubkey("V");
  ASSERT_NE(values, nullptr);
  ASSERT_EQ(values->values().size(), static_cast<size_t>(count));
  EXPECT_EQ(values->values()[0].name, "v" + std::to_string(order[0])); // file order
  EXPECT_NE(values->FindValue("V123456"), nullptr);
}

TEST(RegistryFile, ReadsUtf16FilesAsTheRegistryEditorWritesThem) {
  std::string narrow = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"n\"=\"v\"\r\n";
  std::string wide = "\xFF\xFE";
  for (char c : narrow) {
    wide += c;
    wide += '\0';
  }
  RegistryKey machine;
  ASSERT_EQ(Parse(wide, &machine), "");
  EXPECT_EQ(machine.FindPath("K")->FindValue("n")->data, std::string("v\0", 2));
}

TEST(RegistryFile, SerializedTextReadsBackToTheSameKeysAndValues) {
  RegistryKey machine;
  RegistryKey &parameters = machine.CreatePath("SYSTEM\\CurrentControlSet\\Services\\cvlan1\\Parameters");
  RegistryKey &empty = machine.CreatePath("SYSTEM\\Empty"); // references stay valid as siblings grow
  machine.CreatePath("SYSTEM\\A\\B");
  parameters.SetDword("IoBaseAddress", 0x340);
  parameters.SetString("Quote", "a \"b\" \\c");
  parameters.SetString("", "default");
  parameters.SetBinary("Long", std::string(100, '\x5a'));
  parameters.SetValue({"Multi", REG_MULTI_SZ, std::string("x\0y\0\0", 5)});
  parameters.SetValue({"Odd", REG_SZ, std::string("no nul")});
  parameters.SetValue({"Lines", REG_SZ, std::string("a\nb\0", 4)});
  parameters.SetValue({"Big", REG_DWORD_BIG_ENDIAN, std::string("\0\0\1\0", 4)});
  empty.SetValue({"None", REG_NONE, ""});

  std::string text = winapi::SerializeRegistryText(machine);
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
  EXPECT_NE(text.find("\"IoBaseAddress\"=dword:00000340\n"), std::string::npos);
  EXPECT_NE(text.find("\"Quote\"=\"a \\\"b\\\" \\\\c\"\n"), std::string::npos);
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    EXPECT_LE(end - start, 80u) << text.substr(start, end - start);

  RegistryKey again;
  ASSERT_EQ(Parse(text, &again), "") << text;
  EXPECT_EQ(winapi::SerializeRegistryText(again), text);
  const RegistryKey *read = again.FindPath("SYSTEM\\CurrentControlSet\\Services\\cvlan1\\Parameters");
  ASSERT_NE(read, nullptr);
  ASSERT_EQ(read->values().size(), parameters.values().size());
  for (size_t i = 0; i < read->values().size(); ++i) {
    EXPECT_EQ(read->values()[i].name, parameters.values()[i].name);
    EXPECT_EQ(read->values()[i].type, parameters.values()[i].type);
    EXPECT_EQ(read->values()[i].data, parameters.values()[i].data);
  }
  EXPECT_NE(again.FindPath("SYSTEM\\Empty")->FindValue("None"), nullptr);
  EXPECT_NE(again.FindPath("SYSTEM\\A\\B"), nullptr);
}

} // namespace

namespace {

// Mangled files never crash the reader, and whatever it accepts writes back to
// text that reads to the same registry.
TEST(RegistryFile, MangledTextIsRejectedOrReadsBackStably) {
  const std::string seed =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\cvlan1\\Parameters]\r\n"
      "\"IoBaseAddress\"=dword:00000340\r\n@=\"a \\\"q\\\" \\\\ b\"\r\n"
      "\"Blob\"=hex:01,02,\\\r\n  03 ; end\r\n\"E\"=hex(2):41,00,00,00\r\n; comment\r\n";
  const char specials[] = {'\\', '"', '[', ']', '=', ',', ';', '@', '\n', '\0', ':', '(', ')', 'x', '\xFF'};
  unsigned state = 12345;
  auto next = [&] { return state = state * 1103515245u + 12345u, state >> 8; };
  int accepted = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string text = seed;
    for (int edits = 1 + next() % 4; edits > 0; --edits) {
      size_t at = next() % text.size();
      switch (next() % 4) {
        case 0:
          text[at] = specials[next() % sizeof specials];
          break;
        case 1:
          text.insert(at, 1, specials[next() % sizeof specials]);
          break;
        case 2:
          text.erase(at, 1 + next() % 8);
          break;
        default:
          text.resize(at);
          break;
      }
      if (text.empty()) text = "R";
    }
    RegistryKey machine;
    std::string error;
    if (!ParseRegistryText(text, &machine, &error)) {
      EXPECT_EQ(error.rfind("line ", 0), 0u);
      continue;
    }
    ++accepted;
    std::string written = winapi::SerializeRegistryText(machine);
    RegistryKey again;
    ASSERT_TRUE(ParseRegistryText(written, &again, &error)) << error << "\n" << written;
    EXPECT_EQ(winapi::SerializeRegistryText(again), written);
  }
  EXPECT_GT(accepted, 300); // the round trip is exercised, not only the rejections
}

} // namespace

namespace {

// ---- files as the registry editor writes and merges them --------------------

std::string ParseFile(const std::string &text, RegistryFile *file) {
  winapi::RegistryTextError error;
  return ParseRegistryText(text, file, &error) ? "" : "line " + std::to_string(error.line) + ": " + error.problem;
}

// UTF-16LE with its byte order mark, as the registry editor exports.
std::string Utf16(const std::u16string &text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

TEST(RegistryFile, OtherRootsAreHivesOfTheirOwnAndWriteBackInTheirOrder) {
  const std::string text =
      "REGEDIT4\n\n"
      "[HKEY_CURRENT_USER\\Software\\Tool]\n\"Level\"=dword:2\n\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\Setup]\n\"Done\"=dword:1\n\n"
      "[hkey_classes_root\\.log]\n@=\"logfile\"\n\n"
      "[HKEY_USERS\\.DEFAULT\\Control Panel\\Mouse]\n\"Speed\"=\"0\"\n"
      "[HKEY_CURRENT_CONFIG\\System]\n"
      "[HKEY_CURRENT_USER\\SYSTEM\\Setup]\n\"Done\"=dword:0\n";
  RegistryFile file;
  ASSERT_EQ(ParseFile(text, &file), "");
  EXPECT_EQ(file.machine.FindPath("SYSTEM\\Setup")->FindValue("Done")->data, Dword(1));
  EXPECT_EQ(file.machine.SubkeyCount(), 1u); // nothing of the other roots
  ASSERT_EQ(file.otherRoots.size(), 4u);
  EXPECT_EQ(file.otherRoots[0].name(), "HKEY_CURRENT_USER");
  EXPECT_EQ(file.otherRoots[1].name(), "HKEY_CLASSES_ROOT");
  EXPECT_EQ(file.otherRoots[2].name(), "HKEY_USERS");
  EXPECT_EQ(file.otherRoots[3].name(), "HKEY_CURRENT_CONFIG");
  EXPECT_EQ(file.machinePlace, 1u);
  EXPECT_EQ(file.otherRoots[0].FindPath("SYSTEM\\Setup")->FindValue("Done")->data, Dword(0));
  EXPECT_EQ(file.otherRoots[1].FindPath(".log")->FindValue("")->data, std::string("logfile\0", 8));

  std::string written = winapi::SerializeRegistryText(file);
  EXPECT_LT(written.find("[HKEY_CURRENT_USER\\Software\\Tool]"), written.find("[HKEY_LOCAL_MACHINE\\SYSTEM\\Setup]"));
  EXPECT_LT(written.find("[HKEY_LOCAL_MACHINE\\SYSTEM\\Setup]"), written.find("[HKEY_CLASSES_ROOT\\.log]"));
  EXPECT_NE(written.find("[HKEY_CURRENT_CONFIG\\System]\n"), std::string::npos); // an empty key is kept
  RegistryFile again;
  ASSERT_EQ(ParseFile(written, &again), "") << written;
  EXPECT_EQ(winapi::SerializeRegistryText(again), written);

  // A root named alone, with nothing in it, is kept as well; one named only by a
  // deletion is nothing to keep.
  RegistryFile bare;
  ASSERT_EQ(ParseFile("REGEDIT4\n[HKEY_USERS]\n[-HKEY_CURRENT_USER\\Gone]\n", &bare), "");
  ASSERT_EQ(bare.otherRoots.size(), 1u);
  RegistryFile bareAgain;
  ASSERT_EQ(ParseFile(winapi::SerializeRegistryText(bare), &bareAgain), "");
  ASSERT_EQ(bareAgain.otherRoots.size(), 1u);
  EXPECT_EQ(bareAgain.otherRoots[0].name(), "HKEY_USERS");

  // The machine alone reads the same from the whole file.
  RegistryKey machine;
  ASSERT_EQ(Parse(text, &machine), "");
  EXPECT_EQ(winapi::SerializeRegistryText(machine), winapi::SerializeRegistryText(file.machine));
}

TEST(RegistryFile, DeletionsApplyInFileOrderAsAMerge) {
  RegistryFile file;
  ASSERT_EQ(ParseFile("Windows Registry Editor Version 5.00\n"
                      "[HKEY_LOCAL_MACHINE\\A\\B\\C]\n\"x\"=dword:1\n"
                      "[HKEY_LOCAL_MACHINE\\A]\n\"keep\"=dword:1\n\"gone\"=dword:2\n@=\"d\"\n"
                      "[HKEY_CURRENT_USER\\A\\B]\n"
                      "[-HKEY_LOCAL_MACHINE\\A\\B]\n\"skipped\"=dword:3\n"
                      "[-HKEY_LOCAL_MACHINE\\Never\\There]\n"
                      "[HKEY_LOCAL_MACHINE\\A]\n\"gone\"=-\n@=- ; the default value too\n\"absent\"=-\n"
                      "[-HKEY_LOCAL_MACHINE\\Z]\n"
                      "[HKEY_LOCAL_MACHINE\\Z\\Again]\n\"new\"=dword:4\n"
                      "[-HKEY_LOCAL_MACHINE\\Z\\Again]\n[HKEY_LOCAL_MACHINE\\Z\\Again]\n",
                      &file),
            "");
  const RegistryKey *a = file.machine.FindPath("A");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->SubkeyCount(), 0u);
  ASSERT_EQ(a->values().size(), 1u);
  EXPECT_EQ(a->values()[0].name, "keep");
  EXPECT_EQ(file.machine.FindPath("Never"), nullptr); // deleting a missing key makes nothing
  ASSERT_NE(file.machine.FindPath("Z\\Again"), nullptr);
  EXPECT_TRUE(file.machine.FindPath("Z\\Again")->values().empty()); // made again, empty
  ASSERT_EQ(file.otherRoots.size(), 1u);
  EXPECT_NE(file.otherRoots[0].FindPath("A\\B"), nullptr); // another root's key of the same path stays
}

TEST(RegistryFile, TheEndOfFileMarkEndsTheText) {
  const std::string body = "[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:1\n";
  for (const std::string &text : {"REGEDIT4\n" + body + "\x1A", "REGEDIT4\n" + body + "\x1A\x1A garbage\n[",
                                  "REGEDIT4\n" + body + "\x1A\r\n\"b\"=dword:2\n",
                                  "REGEDIT4\n" + body.substr(0, body.size() - 1) + "\x1A\"b\"=dword:2\n"}) {
    RegistryKey machine;
    ASSERT_EQ(Parse(text, &machine), "") << text;
    EXPECT_EQ(machine.FindPath("K")->values().size(), 1u);
  }
  // Inside quotes the byte is part of a name or a text, so a name that holds it writes back.
  RegistryKey named;
  named.CreatePath("K\x1Ay").SetString("v\x1Aw", "t\x1A");
  RegistryKey read;
  ASSERT_EQ(Parse(winapi::SerializeRegistryText(named), &read), "");
  ASSERT_NE(read.FindPath("K\x1Ay"), nullptr);
  EXPECT_EQ(read.FindPath("K\x1Ay")->FindValue("v\x1Aw")->data, std::string("t\x1A\0", 3));
  RegistryKey wide;
  ASSERT_EQ(Parse(Utf16(u"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"a\"=dword:1\r\n"
                        u"\x1A\"b\"=bad\r\n"),
                  &wide),
            "");
  EXPECT_EQ(wide.FindPath("K")->values().size(), 1u);
}

TEST(RegistryFile, ASectionEndsAtTheBracketThatOnlyACommentFollows) {
  RegistryKey machine;
  ASSERT_EQ(Parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\K] ; see [notes] and ]\n\"a\"=dword:1\n"
                  "[HKEY_LOCAL_MACHINE\\odd]name]\n\"b\"=dword:2\n",
                  &machine),
            "");
  ASSERT_NE(machine.FindPath("K"), nullptr);
  EXPECT_NE(machine.FindPath("K")->FindValue("a"), nullptr);
  ASSERT_NE(machine.FindPath("odd]name"), nullptr);
  EXPECT_NE(machine.FindPath("odd]name")->FindValue("b"), nullptr);
  EXPECT_EQ(Parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\K] x\n", &machine), "line 2: text after the section's ']'");
}

TEST(RegistryFile, NamesBeyondTheCodePageStayApartAndWriteBack) {
  const std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\\x4E2D\x6587]\r\n\"\x540D\"=dword:00000001\r\n\"\x5024\"=dword:00000002\r\n"
      u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\\x65E5\x672C]\r\n\"caf\xE9\"=\"\x4E2D \xE9\"\r\n"
      u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\\xD83D\xDE00]\r\n";
  RegistryFile file;
  ASSERT_EQ(ParseFile(Utf16(text), &file), "");
  const RegistryKey *software = file.machine.FindPath("SOFTWARE");
  ASSERT_NE(software, nullptr);
  ASSERT_EQ(software->SubkeyCount(), 3u);
  const RegistryKey *first = software->FindSubkey(std::string("\0\xE4\xB8\xAD\0\xE6\x96\x87", 8));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->values().size(), 2u); // two names of different characters are two values
  EXPECT_EQ(winapi::AnsiName(first->name()), "??");
  EXPECT_EQ(software->FindSubkey("??"), nullptr); // the ANSI spelling names no key
  const RegistryKey *second = software->FindSubkey(std::string("\0\xE6\x97\xA5\0\xE6\x9C\xAC", 8));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->FindValue("caf\xE9")->data, std::string("? \xE9\0", 4)); // data as the ANSI calls read it
  EXPECT_EQ(winapi::AnsiName(software->Subkey(2).name()), "?");              // a character beyond the BMP: one '?'

  std::string written = winapi::SerializeRegistryText(file);
  EXPECT_EQ(written.rfind("\xFF\xFE", 0), 0u);
  EXPECT_NE(written.find(Utf16(u"\x4E2D\x6587]").substr(2)), std::string::npos);
  RegistryFile again;
  ASSERT_EQ(ParseFile(written, &again), "");
  EXPECT_EQ(winapi::SerializeRegistryText(again), written);
}

} // namespace
