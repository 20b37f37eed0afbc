#include <windows.h>
#include <winapi/registry_file.h>
#include <winapi/sysroot.h>

#include <temp_machine.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr REGSAM kRead = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;

const char kServices[] =
    "Windows Registry Editor Version 5.00\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\_x]\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Cvlan10]\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\CVLAN2]\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\cvlan1\\Parameters]\n"
    "\"Net_Id\"=dword:00000101\n"
    "\"CardType\"=dword:00000000\n"
    "\"Title\"=\"Wireless\"\n"
    "\"Blob\"=hex:01,02,03\n";

class Registry : public ::testing::Test {
 protected:
  void SetUp() override { machine_.WriteFile("registry.reg", kServices); }
  void TearDown() override {
    for (HKEY key : opened_) RegCloseKey(key);
  }
  HKEY Open(const char *path, REGSAM access = kRead, HKEY from = HKEY_LOCAL_MACHINE) {
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExA(from, path, 0, access, &key);
    EXPECT_EQ(status, ERROR_SUCCESS) << path;
    if (status == ERROR_SUCCESS) opened_.push_back(key);
    return key;
  }
  cvtest::TempMachine machine_;
  std::vector<HKEY> opened_;
};

std::vector<std::string> Subkeys(HKEY key) {
  std::vector<std::string> names;
  char name[260];
  LSTATUS status;
  for (DWORD i = 0; (status = RegEnumKeyA(key, i, name, sizeof name)) == ERROR_SUCCESS; ++i) names.push_back(name);
  EXPECT_EQ(status, ERROR_NO_MORE_ITEMS);
  return names;
}

TEST_F(Registry, SubkeysEnumerateInNtOrderWithTheirOwnSpelling) {
  HKEY services = Open("SYSTEM\\CurrentControlSet\\Services");
  EXPECT_EQ(Subkeys(services), (std::vector<std::string>{"cvlan1", "Cvlan10", "CVLAN2", "_x"}));
}

TEST_F(Registry, KeysOpenWithoutRegardToCaseAndRelativeToOpenKeys) {
  HKEY system = Open("system");
  HKEY parameters = Open("currentcontrolset\\SERVICES\\CVLAN1\\parameters\\", kRead, system);
  DWORD type = 0, data = 0, size = sizeof data;
  ASSERT_EQ(RegQueryValueExA(parameters, "net_id", nullptr, &type, reinterpret_cast<BYTE *>(&data), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(data, 0x101u);
  EXPECT_EQ(size, 4u);
  HKEY same = Open(nullptr, kRead, parameters);
  EXPECT_NE(same, parameters);
  EXPECT_EQ(RegQueryValueExA(same, "Title", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 9u);

  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\Nothing", 0, kRead, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\SYSTEM", 0, kRead, &key), ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM", 0, kRead, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, kRead, &key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(key, nullptr);
}

TEST_F(Registry, QueryInfoGivesCountsAndLongestLengthsWithoutTheNul) {
  HKEY services = Open("SYSTEM\\CurrentControlSet\\Services");
  char klass[260] = "junk";
  DWORD classLength = sizeof klass, subkeys = 0, maxSubkey = 0, maxClass = 9, values = 9, maxName = 0, maxData = 0,
        security = 9;
  FILETIME written{};
  ASSERT_EQ(RegQueryInfoKeyA(services, klass, &classLength, nullptr, &subkeys, &maxSubkey, &maxClass, &values, &maxName,
                             &maxData, &security, &written),
            ERROR_SUCCESS);
  EXPECT_STREQ(klass, "");
  EXPECT_EQ(classLength, 0u);
  EXPECT_EQ(subkeys, 4u);
  EXPECT_EQ(maxSubkey, 7u); // Cvlan10
  EXPECT_EQ(maxClass, 0u);
  EXPECT_EQ(values, 0u);
  EXPECT_EQ(maxName, 0u);
  EXPECT_EQ(maxData, 0u);
  EXPECT_NE(written.dwHighDateTime, 0u);

  HKEY parameters = Open("Services\\cvlan1\\Parameters", kRead, Open("SYSTEM\\CurrentControlSet"));
  ASSERT_EQ(RegQueryInfoKeyA(parameters, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, &maxName,
                             &maxData, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 0u);
  EXPECT_EQ(values, 4u);
  EXPECT_EQ(maxName, 8u);  // CardType
  EXPECT_EQ(maxData, 18u); // "Wireless" and its NUL, as UTF-16
  DWORD reserved = 0;
  EXPECT_EQ(RegQueryInfoKeyA(parameters, nullptr, nullptr, &reserved, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, ValuesEnumerateInFileOrderWithTypeAndData) {
  HKEY parameters = Open("SYSTEM\\CurrentControlSet\\Services\\cvlan1\\Parameters");
  const char *names[] = {"Net_Id", "CardType", "Title", "Blob"};
  const DWORD types[] = {REG_DWORD, REG_DWORD, REG_SZ, REG_BINARY};
  const DWORD sizes[] = {4, 4, 9, 3};
  for (DWORD i = 0; i < 4; ++i) {
    char name[128];
    BYTE data[64] = {};
    DWORD nameLength = sizeof name, type = 0, size = sizeof data;
    ASSERT_EQ(RegEnumValueA(parameters, i, name, &nameLength, nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_STREQ(name, names[i]);
    EXPECT_EQ(nameLength, std::strlen(names[i]));
    EXPECT_EQ(type, types[i]);
    EXPECT_EQ(size, sizes[i]);
  }
  char name[128];
  DWORD nameLength = sizeof name;
  EXPECT_EQ(RegEnumValueA(parameters, 4, name, &nameLength, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

TEST_F(Registry, ShortBuffersGiveMoreDataAsNtAndWineDo) {
  HKEY services = Open("SYSTEM\\CurrentControlSet\\Services");
  char name[8];
  std::memset(name, 'z', sizeof name);
  EXPECT_EQ(RegEnumKeyA(services, 1, name, 7), ERROR_MORE_DATA); // "Cvlan10" needs 8 with its NUL
  EXPECT_EQ(name[0], 'z');
  EXPECT_EQ(RegEnumKeyA(services, 1, name, 8), ERROR_SUCCESS);
  EXPECT_STREQ(name, "Cvlan10");

  HKEY parameters = Open("SYSTEM\\CurrentControlSet\\Services\\cvlan1\\Parameters");
  // A short name buffer: the name is cut and NUL-terminated, type and data still come.
  char shortName[4];
  DWORD nameLength = sizeof shortName, type = 0, data = 0, size = sizeof data;
  EXPECT_EQ(
      RegEnumValueA(parameters, 1, shortName, &nameLength, nullptr, &type, reinterpret_cast<BYTE *>(&data), &size),
      ERROR_MORE_DATA);
  EXPECT_STREQ(shortName, "Car");
  EXPECT_EQ(nameLength, 4u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(data, 0u);
  // A name that fills the buffer without room for its NUL does not fit either.
  char exact[6];
  nameLength = sizeof exact;
  EXPECT_EQ(RegEnumValueA(parameters, 0, exact, &nameLength, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_STREQ(exact, "Net_I");

  // Short data: the type and the size needed come back; the data, the name and
  // the name's length stay untouched.
  char full[16] = "untouched";
  BYTE small[4] = {7, 7, 7, 7};
  nameLength = sizeof full;
  size = sizeof small;
  type = 0;
  EXPECT_EQ(RegEnumValueA(parameters, 2, full, &nameLength, nullptr, &type, small, &size), ERROR_MORE_DATA);
  EXPECT_STREQ(full, "untouched");
  EXPECT_EQ(nameLength, sizeof full);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 9u);
  EXPECT_EQ(small[0], 7);
  size = 2;
  EXPECT_EQ(RegQueryValueExA(parameters, "Title", nullptr, &type, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 9u);
  EXPECT_EQ(RegQueryValueExA(parameters, "Missing", nullptr, &type, small, &size), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, AccessIsCheckedAsNtChecksIt) {
  HKEY valuesOnly = Open("SYSTEM\\CurrentControlSet\\Services", KEY_QUERY_VALUE);
  char name[64];
  EXPECT_EQ(RegEnumKeyA(valuesOnly, 0, name, sizeof name), ERROR_ACCESS_DENIED);
  HKEY keysOnly = Open("SYSTEM\\CurrentControlSet\\Services\\cvlan1\\Parameters", KEY_ENUMERATE_SUB_KEYS);
  DWORD length = sizeof name;
  EXPECT_EQ(RegEnumValueA(keysOnly, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
  HKEY generic = Open("SYSTEM\\CurrentControlSet\\Services", GENERIC_READ);
  EXPECT_EQ(RegEnumKeyA(generic, 0, name, sizeof name), ERROR_SUCCESS);
}

TEST_F(Registry, HandlesCloseOnceAndPredefinedKeysAlways) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM", 0, kRead, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  char name[64];
  EXPECT_EQ(RegEnumKeyA(key, 0, name, sizeof name), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  EXPECT_EQ(RegEnumKeyA(HKEY_LOCAL_MACHINE, 0, name, sizeof name), ERROR_SUCCESS);
  EXPECT_STREQ(name, "SYSTEM");
}

TEST_F(Registry, ChangesToTheFileAreSeenByOpenHandles) {
  HKEY services = Open("SYSTEM\\CurrentControlSet\\Services");
  HKEY parameters = Open("SYSTEM\\CurrentControlSet\\Services\\cvlan1\\Parameters");
  ASSERT_EQ(Subkeys(services).size(), 4u);

  winapi::RegistryKey machine;
  machine.CreatePath("SYSTEM\\CurrentControlSet\\Services\\CVLAN3");
  ASSERT_TRUE(winapi::WriteFileAtomically(machine_.path("registry.reg"), winapi::SerializeRegistryText(machine)));
  EXPECT_EQ(Subkeys(services), std::vector<std::string>{"CVLAN3"});
  DWORD values = 0;
  EXPECT_EQ(RegQueryInfoKeyA(parameters, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr),
            ERROR_KEY_DELETED);
}

TEST_F(Registry, AnEditInPlaceOfTheSameSizeIsSeenAtOnce) {
  HKEY services = Open("SYSTEM\\CurrentControlSet\\Services");
  std::string edited = kServices;
  edited.replace(edited.find("Cvlan10"), 7, "Dvlan10");
  machine_.WriteFile("registry.reg", edited); // same size, same inode, likely the same clock tick
  EXPECT_EQ(Subkeys(services), (std::vector<std::string>{"cvlan1", "CVLAN2", "Dvlan10", "_x"}));
}

TEST_F(Registry, AMalformedFileFailsEveryCallUntilMended) {
  HKEY services = Open("SYSTEM\\CurrentControlSet\\Services");
  machine_.WriteFile("registry.reg", std::string(kServices) + "\"Broken\"=dword:xyz\n");
  char name[64];
  EXPECT_EQ(RegEnumKeyA(services, 0, name, sizeof name), ERROR_BADDB);
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM", 0, kRead, &key), ERROR_BADDB);
  machine_.WriteFile("registry.reg", kServices);
  EXPECT_EQ(RegEnumKeyA(services, 0, name, sizeof name), ERROR_SUCCESS);
  EXPECT_STREQ(name, "cvlan1");
}

TEST_F(Registry, AMissingFileIsAnEmptyRegistryAndAnUnreadableOneAnError) {
  std::remove(machine_.path("registry.reg").c_str());
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services", 0, kRead, &key),
            ERROR_FILE_NOT_FOUND);
  char name[64];
  EXPECT_EQ(RegEnumKeyA(HKEY_LOCAL_MACHINE, 0, name, sizeof name), ERROR_NO_MORE_ITEMS);
  std::filesystem::create_directory(machine_.path("registry.reg"));
  EXPECT_EQ(RegEnumKeyA(HKEY_LOCAL_MACHINE, 0, name, sizeof name), ERROR_REGISTRY_IO_FAILED);
  // A FIFO without a writer is no file either; its open used to wait for ever.
  std::filesystem::remove(machine_.path("registry.reg"));
  ASSERT_EQ(mkfifo(machine_.path("registry.reg").c_str(), 0644), 0);
  EXPECT_EQ(RegEnumKeyA(HKEY_LOCAL_MACHINE, 0, name, sizeof name), ERROR_REGISTRY_IO_FAILED);
}

TEST_F(Registry, KeysOfNamesBeyondTheCodePageEnumerateApartAsQuestionMarks) {
  std::string text = "\xFF\xFE";
  for (char16_t unit : std::u16string(u"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\S\\\x4E2D]\r\n"
                                      u"\"v\"=dword:1\r\n[HKEY_LOCAL_MACHINE\\S\\\x6587]\r\n\"w\"=dword:2\r\n")) {
    text += static_cast<char>(unit & 0xFF);
    text += static_cast<char>(unit >> 8);
  }
  machine_.WriteFile("registry.reg", text);
  EXPECT_EQ(Subkeys(Open("S")), (std::vector<std::string>{"?", "?"}));
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "S\\?", 0, kRead, &key), ERROR_FILE_NOT_FOUND);
}

} // namespace
