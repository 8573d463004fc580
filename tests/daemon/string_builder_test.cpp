#include "daemon/byte_buffer.h"
#include "daemon/string_builder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <string>

TEST(StringBuilder, ChainedAppendsOfTextsAndNumbers)
{
    struct Case {
        int value;
        const char* text;
    } cases[] = {
        {0, "0"}, {7, "7"}, {-1, "-1"}, {INT_MAX, "2147483647"}, {INT_MIN, "-2147483648"},
    };
    for (const Case& c : cases) {
        StringBuilder sb;
        StringBuilder& same = sb.append("<").append_int(c.value).append(nullptr).append("").append(">");
        EXPECT_EQ(&same, &sb);
        std::string expected = std::string("<") + c.text + ">";
        EXPECT_STREQ(sb.c_str(), expected.c_str());
        EXPECT_EQ(sb.length(), static_cast<int>(expected.size()));
    }
}

TEST(StringBuilder, NullAndEmptyLeaveTextUnchangedAndClearEmpties)
{
    StringBuilder sb;
    EXPECT_STREQ(sb.c_str(), "");
    EXPECT_EQ(sb.length(), 0);
    sb.append(nullptr).append("");
    EXPECT_STREQ(sb.c_str(), "");
    sb.append("abc");
    sb.clear();
    EXPECT_STREQ(sb.c_str(), "");
    EXPECT_EQ(sb.length(), 0);
    sb.append("x").append_int(12);
    EXPECT_STREQ(sb.c_str(), "x12");
}

TEST(StringBuilder, GrowLetsTheCallerWriteInPlace)
{
    StringBuilder sb;
    sb.append("ab");
    sb.grow(3);
    ASSERT_EQ(sb.length(), 5);
    EXPECT_EQ(sb.c_str()[5], '\0');
    std::memcpy(const_cast<char*>(sb.c_str()) + 2, "cde", 3);
    sb.append("f");
    EXPECT_STREQ(sb.c_str(), "abcdef");
}

// A page of several MiB built from many small pieces must not copy the whole
// text on every append.
TEST(StringBuilder, ManySmallAppendsStayLinear)
{
    StringBuilder sb;
    std::string expected;
    const char* piece = "<td>0123456789</td>\n";
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 400000; i++)
        sb.append(piece);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(sb.length(), 400000 * static_cast<int>(std::strlen(piece)));
    EXPECT_EQ(std::strncmp(sb.c_str() + sb.length() - 20, piece, 20), 0);
    EXPECT_LT(seconds, 2.0);
}

TEST(ByteBuffer, AppendResultsAndNulBytes)
{
    ByteBuffer b;
    EXPECT_EQ(b.data(), nullptr);
    EXPECT_EQ(b.length(), 0);
    const unsigned char bytes[] = {'a', 0, 'b', 0};
    EXPECT_EQ(b.append(bytes, 0), 1);
    EXPECT_EQ(b.append(bytes, -5), 1);
    EXPECT_EQ(b.append(nullptr, 3), 1);
    EXPECT_EQ(b.length(), 0);
    EXPECT_EQ(b.data(), nullptr);

    EXPECT_EQ(b.append(bytes, 4), 0);
    EXPECT_EQ(b.append(bytes, 3), 0);
    ASSERT_EQ(b.length(), 7);
    const unsigned char expected[] = {'a', 0, 'b', 0, 'a', 0, 'b'};
    EXPECT_EQ(std::memcmp(b.data(), expected, 7), 0);

    EXPECT_EQ(b.clear(), 0);
    EXPECT_EQ(b.data(), nullptr);
    EXPECT_EQ(b.length(), 0);
}

// An 8 MiB upload read in 8 KiB pieces.
TEST(ByteBuffer, LargeUploadInSmallPieces)
{
    static unsigned char chunk[8192];
    for (int i = 0; i < 8192; i++)
        chunk[i] = static_cast<unsigned char>(i * 7);
    ByteBuffer b;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 1024; i++)
        ASSERT_EQ(b.append(chunk, 8192), 0);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(b.length(), 8 * 1024 * 1024);
    EXPECT_EQ(std::memcmp(b.data() + 1023 * 8192, chunk, 8192), 0);
    EXPECT_LT(seconds, 2.0);
}

// Appending a builder's or buffer's own contents to itself, across the growth
// that frees the old storage, copies the old contents.
TEST(StringBuilder, AppendOfItsOwnText)
{
    StringBuilder sb;
    sb.append("abc");
    for (int i = 0; i < 6; i++)
        sb.append(sb.c_str());
    EXPECT_EQ(sb.length(), 3 * 64);
    EXPECT_EQ(std::string(sb.c_str()), [] {
        std::string s;
        for (int i = 0; i < 64; i++) s += "abc";
        return s;
    }());
    sb.append(sb.c_str() + 1);  // a tail of its own text
    EXPECT_EQ(sb.length(), 3 * 64 + 3 * 64 - 1);
}

TEST(ByteBuffer, AppendOfItsOwnBytes)
{
    ByteBuffer buffer;
    const unsigned char start[] = {1, 2, 0, 3};
    ASSERT_EQ(buffer.append(start, 4), 0);
    for (int i = 0; i < 6; i++)
        ASSERT_EQ(buffer.append(buffer.data(), buffer.length()), 0);
    ASSERT_EQ(buffer.length(), 4 * 64);
    for (int i = 0; i < buffer.length(); i++)
        ASSERT_EQ(buffer.data()[i], start[i % 4]) << i;
}
