// Reading property lists: both encodings, malformed and hostile files, and files that are not files.
#include "PlistFiles.h"
#include "TempTree.h"
#include "platform/PropertyList.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace brisklet;
using brisklet::test::PlistFormat;
using brisklet::test::TempTree;

TEST(PropertyListReading, BothEncodingsYieldTheStringEntriesOnly) {
    for (const PlistFormat format : {PlistFormat::xml, PlistFormat::binary}) {
        const auto parsed = platform::parsePropertyListStrings(test::plistBytes(
            {{"name", "s:iPhone 15 \u00B7 caf\u00E9"}, {"count", "i:7"}, {"flag", "b:true"}, {"list", "a:x"}},
            format),
                                                               {"name", "count", "flag", "list", "absent"});
        ASSERT_TRUE(parsed);
        EXPECT_EQ(*parsed, (platform::PropertyListStrings{{"name", "iPhone 15 \u00B7 caf\u00E9"}}));
    }
}

TEST(PropertyListReading, MalformedTruncatedAndWrongTopLevelYieldNothing) {
    const std::string binary = test::plistBytes({{"CFBundleName", "s:Tool"}}, PlistFormat::binary);
    const std::string xml = test::plistBytes({{"CFBundleName", "s:Tool"}}, PlistFormat::xml);
    for (std::size_t cut : {std::size_t(1), std::size_t(8), binary.size() / 2, binary.size() - 1})
        EXPECT_FALSE(platform::parsePropertyListStrings(binary.substr(0, cut), {"CFBundleName"})) << "binary cut at " << cut;
    for (std::size_t cut : {std::size_t(5), xml.size() / 2})
        EXPECT_FALSE(platform::parsePropertyListStrings(xml.substr(0, cut), {"CFBundleName"})) << "xml cut at " << cut;
    EXPECT_FALSE(platform::parsePropertyListStrings("", {"a"}));
    EXPECT_FALSE(platform::parsePropertyListStrings("not a property list at all", {"a"}));
    EXPECT_FALSE(platform::parsePropertyListStrings(std::string("bplist00\0\0\0", 11), {"a"}));

    TempTree tree;
    test::writeArrayPlist(tree.path("array.plist"), {"a", "b"}, PlistFormat::binary);
    EXPECT_FALSE(platform::readPropertyListStrings(tree.path("array.plist"), {"name"}));
    EXPECT_FALSE(platform::readPropertyListStrings(tree.makeDir("folder.plist"), {"name"}));
    EXPECT_FALSE(platform::readPropertyListStrings(tree.path("missing.plist"), {"name"}));
}

namespace {

void putBigEndian(std::string& out, std::uint64_t value, int width) {
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        out.push_back(char((value >> shift) & 0xFF));
}

// A binary property list from raw objects (4-byte references and offsets), as a hostile file is made.
std::string binaryPlist(const std::vector<std::string>& objects, std::uint64_t top) {
    std::string data = "bplist00";
    std::vector<std::uint64_t> offsets;
    for (const std::string& object : objects) {
        offsets.push_back(data.size());
        data += object;
    }
    const std::size_t table = data.size();
    for (const std::uint64_t offset : offsets)
        putBigEndian(data, offset, 4);
    data.append(6, '\0');
    data.push_back(4);
    data.push_back(4);
    putBigEndian(data, objects.size(), 8);
    putBigEndian(data, top, 8);
    putBigEndian(data, table, 8);
    return data;
}

// An array holding `count` references to each of the given objects.
std::string arrayOf(std::initializer_list<std::uint32_t> references) {
    std::string object(1, char(0xA0 | references.size()));
    for (const std::uint32_t reference : references)
        putBigEndian(object, reference, 4);
    return object;
}

// Arrays each holding the next, depth deep; with cycle the last refers back to the first.
std::string deepBinaryPlist(std::uint32_t depth, bool cycle = false) {
    std::vector<std::string> objects;
    for (std::uint32_t index = 0; index + 1 < depth; ++index)
        objects.push_back(arrayOf({index + 1}));
    objects.push_back(cycle ? arrayOf({0}) : arrayOf({}));
    return binaryPlist(objects, 0);
}

} // namespace

TEST(PropertyListReading, HostileNestingIsRefusedWithoutExhaustingTheStack) {
    EXPECT_FALSE(platform::parsePropertyListStrings(deepBinaryPlist(300000), {"a"}));
    EXPECT_FALSE(platform::parsePropertyListStrings(deepBinaryPlist(3, true), {"a"}));
    // Forty arrays each referring twice to the next expand to 2^40 nodes when copied out.
    std::vector<std::string> objects{std::string("\xD1\x00\x00\x00\x01\x00\x00\x00\x02", 9), "\x51k"};
    for (std::uint32_t index = 2; index < 41; ++index)
        objects.push_back(arrayOf({index + 1, index + 1}));
    objects.push_back("\x51x");
    EXPECT_FALSE(platform::parsePropertyListStrings(binaryPlist(objects, 0), {"k"}));
    std::string xml = "<?xml version=\"1.0\"?><plist><dict><key>name</key><string>x</string><key>a</key>";
    for (int index = 0; index < 300000; ++index)
        xml += "<array>";
    for (int index = 0; index < 300000; ++index)
        xml += "</array>";
    EXPECT_FALSE(platform::parsePropertyListStrings(xml + "</dict></plist>", {"name"}));
}

TEST(PropertyListReading, OrdinaryNestingCommentsAndSharedObjectsAreAccepted) {
    TempTree tree;
    for (const PlistFormat format : {PlistFormat::xml, PlistFormat::binary}) {
        test::writeNestedPlist(tree.path("ok.plist"), 512, format);
        const auto accepted = platform::readPropertyListStrings(tree.path("ok.plist"), {"name"});
        ASSERT_TRUE(accepted);
        EXPECT_EQ(accepted->at("name"), "deep");
        test::writeNestedPlist(tree.path("deep.plist"), 513, format);
        EXPECT_FALSE(platform::readPropertyListStrings(tree.path("deep.plist"), {"name"}));
    }
    // plistlib writes equal strings once and refers to them from both keys.
    const auto shared = platform::parsePropertyListStrings(
        test::plistBytes({{"a", "s:same"}, {"b", "s:same"}, {"c", "a:same"}}, PlistFormat::binary), {"a", "b", "c"});
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared->size(), 2u);
    const auto commented = platform::parsePropertyListStrings(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\"><!-- <array> --><dict>"
        "<key>name</key><string>Tool</string><key>empty</key><array/><key>d</key><dict/></dict></plist>\n",
        {"name"});
    ASSERT_TRUE(commented);
    EXPECT_EQ(commented->at("name"), "Tool");
}

TEST(PropertyListReading, KeyWithEmbeddedNulDoesNotAbort) {
    std::string data = test::plistBytes({{"name", "s:ok"}, {"aXb", "s:v"}}, PlistFormat::binary);
    const std::size_t key = data.find("aXb");
    ASSERT_NE(key, std::string::npos);
    data[key + 1] = '\0';
    const auto parsed = platform::parsePropertyListStrings(data, {"name"});
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, (platform::PropertyListStrings{{"name", "ok"}}));
}

TEST(PropertyListReading, FifoInPlaceOfTheFileDoesNotBlock) {
    TempTree tree;
    const std::string fifo = tree.path("Info.plist");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    auto read = std::async(std::launch::async, [&] { return platform::readPropertyListStrings(fifo, {"a"}); });
    ASSERT_EQ(read.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_FALSE(read.get());
}
