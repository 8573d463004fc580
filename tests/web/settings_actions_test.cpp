// What the Controller Settings handlers decide before they call the
// library: the unit names paired with their units, the background rate
// kept for the next start, and the temporary file of an uploaded firmware
// image.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "daemon/byte_buffer.h"
#include "daemon/config_store.h"
#include "tests/support/files.h"
#include "web/actions/firmware_image_file.h"
#include "web/actions/settings_handlers.h"
#include "web/actions/unit_names.h"

namespace {

using test_support::read_file;
using test_support::TempDir;
using test_support::write_file;

struct Pair {
    int number;
    std::string name;
};

TEST(UnitNames, PairsEachNameWithItsUnitOrRefusesTheWholeRequest) {
    const std::string kLongName(200, 'x');
    struct Case {
        const char* names;
        const char* numbers;
        int result;
        std::vector<Pair> pairs;
    };
    const Case cases[] = {
        {"a,b", "0,1", kUnitNamesOk, {{0, "a"}, {1, "b"}}},
        {"a,", "0,1", kUnitNamesOk, {{0, "a"}, {1, ""}}},
        {"", "5", kUnitNamesOk, {{5, ""}}},
        {"a,,c", "0,1,2", kUnitNamesOk, {{0, "a"}, {1, ""}, {2, "c"}}},
        {"x%23y%2Bz,M%C3%A4rz", "63,7,", kUnitNamesOk, {{63, "x#y+z"}, {7, "M\xC3\xA4rz"}}},
        {"abcdefghijklmnopqrst", "1", kUnitNamesOk, {{1, "abcdefghijklmnopqrst"}}},
        // Longer names are cut to the 20 bytes a unit's name holds.
        {"abcdefghijklmnopqrstu,abcdefghijklmnopqrstuvwxyz", "1,2", kUnitNamesOk,
         {{1, "abcdefghijklmnopqrst"}, {2, "abcdefghijklmnopqrst"}}},
        {kLongName.c_str(), "3", kUnitNamesOk, {{3, std::string(20, 'x')}}},
        {"abcdefghijklmnopqrs%C3%A4x", "4", kUnitNamesOk, {{4, "abcdefghijklmnopqrs"}}},
        {"%E6%97%A5%E6%97%A5%E6%97%A5%E6%97%A5%E6%97%A5%E6%97%A5%E6%97%A5", "5", kUnitNamesOk,
         {{5, "\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5"}}},
        {"abcdefghijklmnopq%F0%9F%98%80", "6", kUnitNamesOk, {{6, "abcdefghijklmnopq"}}},
        {"a", "0,1,2", kUnitNamesMismatch, {}},
        {"a,b,c", "0,1", kUnitNamesMismatch, {}},
        {"a,b", "", kUnitNamesMismatch, {}},
        {"a,b", "0,64", kUnitNamesBadNumber, {}},
        {"a,b", "0,-1", kUnitNamesBadNumber, {}},
        {"a,b", "0,,1", kUnitNamesBadNumber, {}},
        {"a,b", "0,1x", kUnitNamesBadNumber, {}},
        {"a,b", "0,001", kUnitNamesBadNumber, {}},
        {"abcdefghijklmnopqrstuvwxyz%0A", "1", kUnitNamesBadName, {}},
        {"a%0Ab", "1", kUnitNamesBadName, {}},
        {"a%0db", "1", kUnitNamesBadName, {}},
        {"a%00b", "1", kUnitNamesBadName, {}},
        {"a%7Fb", "1", kUnitNamesBadName, {}},
        // As in a new unit's name: controls and blanks beyond ASCII, and
        // bytes that are no UTF-8.
        {"a%C2%85b", "1", kUnitNamesBadName, {}},
        {"a%C2%A0b", "1", kUnitNamesBadName, {}},
        {"a%FFb", "1", kUnitNamesBadName, {}},
        {"a+b", "1", kUnitNamesBadName, {}},
        {"%3Cb%3E", "1", kUnitNamesBadName, {}},
        {"a%22", "1", kUnitNamesBadName, {}},
        {"a%2Cb", "1", kUnitNamesBadName, {}},
        {"a%25", "1", kUnitNamesBadName, {}},
        {"ok,a%3Bb", "0,1", kUnitNamesBadName, {}},
        {"a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p",
         "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15",
         kUnitNamesOk,
         {}},
        {"a", "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16", kUnitNamesTooMany, {}},
        {"a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p,q", "0", kUnitNamesTooMany, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.names) + " / " + c.numbers);
        UnitNames out;
        ASSERT_EQ(parse_unit_names(c.names, c.numbers, &out), c.result);
        if (c.result != kUnitNamesOk) {
            EXPECT_EQ(out.count, 0);
            continue;
        }
        if (c.pairs.empty()) continue;
        ASSERT_EQ(out.count, static_cast<int>(c.pairs.size()));
        for (int i = 0; i < out.count; ++i) {
            EXPECT_EQ(out.numbers[i], c.pairs[i].number);
            EXPECT_EQ(out.names[i], c.pairs[i].name);
        }
    }
}

// A name is cut to 20 bytes, never inside a character of UTF-8; bytes that
// are no UTF-8 are cut where the 20 bytes end.
TEST(UnitNames, CutToTwentyBytesBetweenCharacters) {
    const struct {
        const char* name;
        const char* cut;
    } cases[] = {
        {"", ""},
        {"abcdefghijklmnopqrst", "abcdefghijklmnopqrst"},
        {"abcdefghijklmnopqrstu", "abcdefghijklmnopqrst"},
        {"abcdefghijklmnopqr\xC3\xA4x", "abcdefghijklmnopqr\xC3\xA4"},  // ends at 20
        {"abcdefghijklmnopqrs\xC3\xA4", "abcdefghijklmnopqrs"},
        {"abcdefghijklmnopqr\xE6\x97\xA5", "abcdefghijklmnopqr"},
        {"abcdefghijklmnopqrs\xE6\x97\xA5", "abcdefghijklmnopqrs"},
        {"abcdefghijklmnopq\xF0\x9F\x98\x80", "abcdefghijklmnopq"},
        {"abcdefghijklmnop\xF0\x9F\x98\x80x", "abcdefghijklmnop\xF0\x9F\x98\x80"},
        {"abcdefghijklmnopq\x80\x80\x80\x80", "abcdefghijklmnopq\x80\x80\x80"},
        {"abcdefghijklmnopqrst\x80", "abcdefghijklmnopqrst"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        char name[64];
        std::snprintf(name, sizeof name, "%s", c.name);
        cut_unit_name(name);
        EXPECT_STREQ(name, c.cut);
    }
}

TEST(BackgroundRate, OnlyARateIsKeptAtTheControllersPlace) {
    struct Case {
        const char* before;
        int index;
        int rate;
        int stored;
        const char* after;
    };
    const Case cases[] = {
        {"3333333333333333", 2, 4, kRateStored, "3343333333333333"},
        {"3333333333333333", 0, 1, kRateStored, "1333333333333333"},
        {"3", 4, 5, kRateStored, "33335"},
        {"", 0, 2, kRateStored, "2"},
        {"3333", 1, 0, kRateNotKept, "3333"},
        {"3333", 1, 6, kRateNotKept, "3333"},
        {"3333", 1, -38, kRateNotKept, "3333"},
        {"3333", 255, 3, kRateNotKept, "3333"},
        {"3333", -1, 3, kRateNotKept, "3333"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.before) + " index " + std::to_string(c.index) + " rate " +
                     std::to_string(c.rate));
        TempDir dir;
        const std::string path = dir.file("pyv2.conf");
        ASSERT_TRUE(write_file(path, std::string("BGRate ") + c.before + "\n"));
        ConfigStore config(path.c_str());
        config.read_file();
        EXPECT_EQ(store_background_rate(&config, c.index, c.rate), c.stored);
        EXPECT_STREQ(config.get_bg_rate(), c.after);
        if (c.stored == kRateStored) {
            ConfigStore reread(path.c_str());
            reread.read_file();
            EXPECT_STREQ(reread.get_bg_rate(), c.after);
        }
    }
    // The longest text: a digit for every controller index.
    TempDir dir;
    ConfigStore config(dir.file("pyv2.conf").c_str());
    ASSERT_EQ(store_background_rate(&config, 254, 2), kRateStored);
    EXPECT_EQ(std::string(config.get_bg_rate()), std::string(254, '3') + "2");
    // A file that cannot be written keeps the old text, in memory too: the
    // next start sets the rate it sets now.
    ConfigStore unwritable(dir.file("missing/pyv2.conf").c_str());
    EXPECT_EQ(store_background_rate(&unwritable, 2, 4), kRateNotSaved);
    EXPECT_STREQ(unwritable.get_bg_rate(), "3333333333333333");
}

TEST(FirmwareTempPath, NamedAfterThePositionAndTheAddressOrNotAtAll) {
    char path[kFirmwarePathSize];
    ASSERT_TRUE(format_firmware_temp_path("/etc/pyv2", 2, "127.0.0.1", path));
    EXPECT_STREQ(path, "/etc/pyv2/c2-127.0.0.1.tmp");
    ASSERT_TRUE(format_firmware_temp_path("/d", 0, "::ffff:10.0.0.1", path));
    EXPECT_STREQ(path, "/d/c0-::ffff:10.0.0.1.tmp");
    // Exactly 99 characters fit.
    const std::string dir(99 - std::string("/c1-1.2.3.4.tmp").size(), 'x');
    EXPECT_TRUE(format_firmware_temp_path(dir.c_str(), 1, "1.2.3.4", path));
    EXPECT_EQ(std::string(path).size(), 99u);
    const std::string too_long = dir + "x";
    const struct {
        const char* dir;
        int position;
        const char* peer;
    } refused[] = {
        {too_long.c_str(), 1, "1.2.3.4"},  // 100 characters
        {"/etc/pyv2", -1, "127.0.0.1"},   {"/etc/pyv2", 0, "../../tmp/x"},
        {"/etc/pyv2", 0, "a b"},          {"/etc/pyv2", 0, ""},
        {"/etc/pyv2", 0, nullptr},
    };
    for (const auto& r : refused) {
        path[0] = 'x';
        EXPECT_FALSE(format_firmware_temp_path(r.dir, r.position, r.peer, path))
            << r.position << " " << (r.peer != nullptr ? r.peer : "(null)");
        EXPECT_STREQ(path, "");
    }
}

ByteBuffer& bytes_of(ByteBuffer& buffer, const std::string& text) {
    buffer.append(reinterpret_cast<const unsigned char*>(text.data()),
                  static_cast<int>(text.size()));
    return buffer;
}

mode_t mode_of(const std::string& path, bool follow = false) {
    struct stat st;
    if ((follow ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0) return 0;
    return st.st_mode;
}

TEST(FirmwareTempFile, StoredAnewReadableByItsOwnerAlone) {
    TempDir dir;
    const std::string path = dir.file("c0-127.0.0.1.tmp");
    ByteBuffer first, second;
    for (mode_t mask : {0000, 0077, 0777}) {
        const mode_t old = umask(mask);
        EXPECT_TRUE(store_firmware_upload(path.c_str(), bytes_of(first, "first image")));
        umask(old);
        EXPECT_EQ(mode_of(path) & 07777, 0600u) << "umask " << mask;
    }
    // A later upload replaces the file whole.
    EXPECT_TRUE(store_firmware_upload(path.c_str(), bytes_of(second, "2nd")));
    EXPECT_EQ(read_file(path), "2nd");

    // A link at the path is replaced, its target untouched.
    const std::string target = dir.file("target");
    ASSERT_TRUE(write_file(target, "keep me"));
    ASSERT_EQ(unlink(path.c_str()), 0);
    ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
    EXPECT_TRUE(store_firmware_upload(path.c_str(), second));
    EXPECT_TRUE(S_ISREG(mode_of(path)));
    EXPECT_EQ(read_file(target), "keep me");

    // What cannot be replaced by a file fails, and nothing is written.
    const std::string taken = dir.file("taken");
    ASSERT_EQ(mkdir(taken.c_str(), 0700), 0);
    EXPECT_FALSE(store_firmware_upload(taken.c_str(), second));
    EXPECT_TRUE(S_ISDIR(mode_of(taken)));
    EXPECT_FALSE(store_firmware_upload(dir.file("missing/c0-x.tmp").c_str(), second));
    // No temporary file is left beside them: the image, its link target
    // and the directory.
    EXPECT_EQ(test_support::entries_in(dir.path()), 3);
}

TEST(FirmwareTempFile, TemporariesOfInterruptedStoresRemoved) {
    TempDir dir;
    const char* const stale[] = {"c0-127.0.0.1.tmp.tmp-Ab12Cd", "c3-::1.tmp.tmp-XYZ789"};
    // An image waiting for its update, the temporaries of other files, and
    // names that are no temporary of an image.
    const char* const kept[] = {"c0-127.0.0.1.tmp", "pyv2.conf.tmp-Ab12Cd", ".tmp.tmp-Ab12Cd",
                                "c1-x.tmp.tmp-short", "c1-x.tmp.tmp-Ab12Cd7"};
    for (const char* name : stale) ASSERT_TRUE(write_file(dir.file(name), "part of an image"));
    for (const char* name : kept) ASSERT_TRUE(write_file(dir.file(name), "kept"));
    ASSERT_EQ(mkdir(dir.file("c2-x.tmp.tmp-Dir123").c_str(), 0700), 0);

    EXPECT_EQ(remove_stale_firmware_temps(dir.path().c_str()), 2);
    for (const char* name : stale) EXPECT_EQ(mode_of(dir.file(name)), 0u) << name;
    for (const char* name : kept) EXPECT_EQ(read_file(dir.file(name)), "kept") << name;
    EXPECT_TRUE(S_ISDIR(mode_of(dir.file("c2-x.tmp.tmp-Dir123"))));
    EXPECT_EQ(remove_stale_firmware_temps(dir.file("missing").c_str()), 0);
}

TEST(FirmwareTempFile, DeletedWithoutFollowingALink) {
    TempDir dir;
    const std::string path = dir.file("c1-127.0.0.1.tmp");
    ByteBuffer image;
    ASSERT_TRUE(store_firmware_upload(path.c_str(), bytes_of(image, "image bytes")));
    delete_firmware_temp_file(path.c_str());
    EXPECT_EQ(mode_of(path), 0u);
    // Nothing there: no error.
    delete_firmware_temp_file(path.c_str());

    // A link: removed, its target neither emptied nor overwritten.
    const std::string target = dir.file("target");
    ASSERT_TRUE(write_file(target, "keep me"));
    ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
    delete_firmware_temp_file(path.c_str());
    EXPECT_EQ(mode_of(path), 0u);
    EXPECT_EQ(read_file(target), "keep me");

    // A file with another name: the name at the path goes, the file's
    // content stays for its other name.
    ASSERT_EQ(link(target.c_str(), path.c_str()), 0);
    delete_firmware_temp_file(path.c_str());
    EXPECT_EQ(mode_of(path), 0u);
    EXPECT_EQ(read_file(target), "keep me");
}

}  // namespace
