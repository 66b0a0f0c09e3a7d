#include "PlistFiles.h"
#include "TempTree.h"

#include "apps/AppCatalog.h"
#include "apps/LocalizedNameOrder.h"
#include "platform/HostProfile.h"
#include "platform/PropertyList.h"

#include <gtest/gtest.h>
#include <unicode/locid.h>

#include <future>
#include <sys/stat.h>

using namespace brisklet;
using brisklet::test::PlistEntries;
using brisklet::test::PlistFormat;
using brisklet::test::TempTree;

namespace {

// The POSIX locale, whose collation orders by code point, is the hardest case for the name order;
// make it the default before any collator is created.
const bool posixLocale = [] {
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale("en_US_POSIX"), status);
    return U_SUCCESS(status);
}();

std::string makeBundle(TempTree& tree, const std::string& relative, const PlistEntries& info,
                       PlistFormat format = PlistFormat::xml) {
    const std::string bundle = tree.makeDir(relative);
    test::writePlist(bundle + "/Contents/Info.plist", info, format);
    return bundle;
}

std::vector<std::string> names(const std::vector<ApplicationEntry>& entries) {
    std::vector<std::string> result;
    for (const ApplicationEntry& entry : entries)
        result.push_back(entry.name);
    return result;
}

} // namespace

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

TEST(AppCatalogRoots, HomeApplicationsFollowsTheSystemFolder) {
    EXPECT_EQ(AppCatalog::scanRoots("/home/a", originalHostProfile()),
              (std::vector<std::string>{"/Applications", "/home/a/Applications"}));
}

TEST(AppCatalogListing, OnlyRealFoldersWithTheExactSuffixOneLevelDown) {
    TempTree tree;
    makeBundle(tree, "root/Real.app", {{"CFBundleName", "s:Real"}});
    makeBundle(tree, "elsewhere/Linked.app", {{"CFBundleName", "s:Linked"}});
    tree.symlink("root/Linked.app", tree.path("elsewhere/Linked.app"));
    makeBundle(tree, "root/Upper.APP", {{"CFBundleName", "s:Upper"}});
    tree.writeFile("root/File.app", "not a bundle");
    makeBundle(tree, "root/Sub/Nested.app", {{"CFBundleName", "s:Nested"}});

    const auto entries = AppCatalog::listApplications({tree.path("missing"), tree.path("root")});
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "Real");
    EXPECT_EQ(entries[0].path, tree.path("root/Real.app"));
    EXPECT_EQ(entries[0].sizeBytes, 0);
}

TEST(AppCatalogListing, UnreadableRootIsSkippedAndTheNextStillListed) {
    TempTree tree;
    tree.writeFile("plainfile", "x");
    makeBundle(tree, "second/B.app", {{"CFBundleName", "s:B"}});
    const auto entries = AppCatalog::listApplications({tree.path("plainfile"), tree.path("second")});
    EXPECT_EQ(names(entries), (std::vector<std::string>{"B"}));
}

TEST(AppCatalogBundleInfo, ReadsBinaryAndXmlAlike) {
    for (const PlistFormat format : {PlistFormat::xml, PlistFormat::binary}) {
        TempTree tree;
        makeBundle(tree, "root/Tool.app",
                   {{"CFBundleDisplayName", "s:Tool Display"},
                    {"CFBundleName", "s:ToolName"},
                    {"CFBundleIdentifier", "s:org.example.tool"},
                    {"CFBundleShortVersionString", "s:2.1"},
                    {"CFBundleVersion", "s:999"}},
                   format);
        const auto entries = AppCatalog::listApplications({tree.path("root")});
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0], (ApplicationEntry{"Tool Display", "org.example.tool", tree.path("root/Tool.app"), 0,
                                                "2.1", false}));
    }
}

TEST(AppCatalogBundleInfo, NameFallsBackToTheFileNameWhenMissingEmptyOrUnreadable) {
    TempTree tree;
    tree.makeDir("root/NoPlist.app/Contents");
    makeBundle(tree, "root/EmptyDisplay.app", {{"CFBundleDisplayName", "s:"}, {"CFBundleName", "s:Bundle Name"}});
    tree.makeDir("root/PlistIsFolder.app/Contents/Info.plist");
    tree.writeFile("root/Garbage.app/Contents/Info.plist", "<?xml version=\"1.0\"?><plist><dict><key>CFBund");
    test::writeArrayPlist(tree.path("root/ArrayTop.app/Contents/Info.plist"), {"x"}, PlistFormat::xml);
    makeBundle(tree, "root/My.Tool.app", {{"CFBundleIdentifier", "s:org.example.dots"}});

    const auto entries = AppCatalog::listApplications({tree.path("root")});
    std::map<std::string, ApplicationEntry> byPath;
    for (const ApplicationEntry& entry : entries)
        byPath.emplace(entry.path, entry);
    ASSERT_EQ(byPath.size(), 6u);
    const auto& noPlist = byPath.at(tree.path("root/NoPlist.app"));
    EXPECT_EQ(noPlist, (ApplicationEntry{"NoPlist", std::nullopt, noPlist.path, 0, std::nullopt, false}));
    EXPECT_EQ(byPath.at(tree.path("root/EmptyDisplay.app")).name, "EmptyDisplay");
    EXPECT_EQ(byPath.at(tree.path("root/PlistIsFolder.app")).name, "PlistIsFolder");
    EXPECT_EQ(byPath.at(tree.path("root/Garbage.app")).name, "Garbage");
    EXPECT_EQ(byPath.at(tree.path("root/ArrayTop.app")).name, "ArrayTop");
    EXPECT_EQ(byPath.at(tree.path("root/My.Tool.app")).name, "My.Tool");
    EXPECT_EQ(byPath.at(tree.path("root/My.Tool.app")).bundleID, "org.example.dots");
}

TEST(AppCatalogBundleInfo, WrongTypedValuesCountAsMissing) {
    TempTree tree;
    makeBundle(tree, "root/Typed.app",
               {{"CFBundleDisplayName", "i:5"},
                {"CFBundleName", "s:Typed Name"},
                {"CFBundleIdentifier", "a:org.example.array"},
                {"CFBundleShortVersionString", "i:3"}},
               PlistFormat::binary);
    const auto entries = AppCatalog::listApplications({tree.path("root")});
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "Typed Name");
    EXPECT_FALSE(entries[0].bundleID);
    EXPECT_FALSE(entries[0].version);
}

TEST(AppCatalogBundleInfo, OnlyTheAppleIdentifierPrefixWithItsDotIsProtected) {
    TempTree tree;
    makeBundle(tree, "root/Safari.app", {{"CFBundleIdentifier", "s:com.apple.Safari"}});
    makeBundle(tree, "root/Soft.app", {{"CFBundleIdentifier", "s:com.applesoft.tool"}});
    makeBundle(tree, "root/Bare.app", {{"CFBundleIdentifier", "s:com.apple"}});
    makeBundle(tree, "root/Case.app", {{"CFBundleIdentifier", "s:COM.APPLE.Thing"}});
    std::map<std::string, bool> protectedByName;
    for (const ApplicationEntry& entry : AppCatalog::listApplications({tree.path("root")}))
        protectedByName[entry.name] = entry.isProtected;
    EXPECT_EQ(protectedByName,
              (std::map<std::string, bool>{{"Safari", true}, {"Soft", false}, {"Bare", false}, {"Case", false}}));
}

TEST(AppCatalogOrder, CaseInsensitiveAndStableAcrossRoots) {
    ASSERT_TRUE(posixLocale);
    TempTree tree;
    makeBundle(tree, "one/b.app", {{"CFBundleName", "s:beta"}});
    makeBundle(tree, "one/a1.app", {{"CFBundleName", "s:Alpha"}});
    makeBundle(tree, "two/a2.app", {{"CFBundleName", "s:alpha"}});
    makeBundle(tree, "two/z.app", {{"CFBundleName", "s:Zulu"}});
    makeBundle(tree, "two/b.app", {{"CFBundleName", "s:beta"}});

    const auto entries = AppCatalog::listApplications({tree.path("one"), tree.path("two")});
    EXPECT_EQ(names(entries), (std::vector<std::string>{"Alpha", "alpha", "beta", "beta", "Zulu"}));
    // The same application under both roots is listed once per root, in root order.
    EXPECT_EQ(entries[2].path, tree.path("one/b.app"));
    EXPECT_EQ(entries[3].path, tree.path("two/b.app"));

    const auto reversed = AppCatalog::listApplications({tree.path("two"), tree.path("one")});
    EXPECT_EQ(names(reversed), (std::vector<std::string>{"alpha", "Alpha", "beta", "beta", "Zulu"}));
}

TEST(LocalizedNameOrder, IgnoresCaseButNotAccents) {
    const LocalizedNameOrder order;
    EXPECT_EQ(order.compare("alpha", "ALPHA"), 0);
    EXPECT_LT(order.compare("apple", "Banana"), 0);
    EXPECT_GT(order.compare("Zebra", "\u00E9clair"), 0);
    EXPECT_NE(order.compare("resume", "r\u00E9sum\u00E9"), 0);
    EXPECT_LT(order.compare("\u00E9clair", "zebra"), 0);
    EXPECT_LT(order.compare(std::string("a\xff"), "b"), 0); // invalid UTF-8 still compares
}

TEST(AppCatalogMeasuring, MissingPathMeasuresZeroAndAFileBundleItsBlocks) {
    TempTree tree;
    tree.writeFileOfSize("Tool.AppImage", 10000);
    EXPECT_EQ(AppCatalog::measureSize(tree.path("missing"), AppCatalog::sizingOptions()), 0);
    EXPECT_GE(AppCatalog::measureSize(tree.path("Tool.AppImage"), AppCatalog::sizingOptions()), 10000);
}

TEST(AppCatalogMeasuring, DiscoverSortsBySizeThenName) {
    ASSERT_TRUE(posixLocale);
    TempTree tree;
    for (const std::string name : {"B", "a", "c"}) {
        tree.makeDir("root/" + name + ".app/Contents");
        tree.writeFileOfSize("root/" + name + ".app/Contents/payload", 64 * 1024);
    }
    tree.writeFileOfSize("root/c.app/Contents/more", 512 * 1024);

    const auto entries = AppCatalog::discoverApplications({tree.path("root")});
    ASSERT_EQ(names(entries), (std::vector<std::string>{"c", "a", "B"}));
    EXPECT_GT(entries[0].sizeBytes, entries[1].sizeBytes);
    EXPECT_EQ(entries[1].sizeBytes, entries[2].sizeBytes);
    EXPECT_GE(entries[1].sizeBytes, 64 * 1024);
    EXPECT_EQ(entries[1].sizeBytes, AppCatalog::measureSize(entries[1].path, AppCatalog::sizingOptions()));
    EXPECT_TRUE(AppCatalog::discoverApplications({tree.path("none")}).empty());
}

TEST(AppCatalogMeasuring, DiscoverKeepsListingOrderAmongEqualSizesAndNames) {
    ASSERT_TRUE(posixLocale);
    TempTree tree;
    // Enough equal entries that an unstable sort would shuffle them.
    for (int index = 0; index < 40; ++index) {
        const std::string bundle = "root" + std::to_string(index % 2) + "/copy" + std::to_string(index) + ".app";
        makeBundle(tree, bundle, {{"CFBundleName", "s:Same"}});
        tree.writeFileOfSize(bundle + "/Contents/payload", 8192);
    }
    tree.makeDir("root0/Empty.app"); // measures less than every other bundle: last
    const std::vector<std::string> roots{tree.path("root1"), tree.path("root0")};
    const auto listed = AppCatalog::listApplications(roots);
    const auto discovered = AppCatalog::discoverApplications(roots);
    ASSERT_EQ(discovered.size(), 41u);
    EXPECT_EQ(discovered.back().name, "Empty");
    std::vector<std::string> listedPaths, discoveredPaths;
    for (const ApplicationEntry& entry : listed)
        if (entry.name == "Same")
            listedPaths.push_back(entry.path);
    for (std::size_t index = 0; index + 1 < discovered.size(); ++index) {
        EXPECT_EQ(discovered[index].sizeBytes, discovered[0].sizeBytes);
        discoveredPaths.push_back(discovered[index].path);
    }
    EXPECT_EQ(discoveredPaths, listedPaths);
    EXPECT_EQ(listedPaths.front().rfind(tree.path("root1"), 0), 0u) << "roots in the order given";
}

TEST(ApplicationEntryValue, WithSizeCopiesAndAbsentDiffersFromEmpty) {
    const ApplicationEntry entry{"Tool", "org.example.tool", "/Applications/Tool.app", 0, "1.0", false};
    const ApplicationEntry sized = entry.withSize(42);
    EXPECT_EQ(entry.sizeBytes, 0);
    EXPECT_EQ(sized.sizeBytes, 42);
    EXPECT_EQ(sized.withSize(0), entry);
    EXPECT_EQ(sized.id(), entry.id());

    ApplicationEntry absent = entry, empty = entry;
    absent.version.reset();
    empty.version = "";
    EXPECT_NE(absent, empty);
    EXPECT_EQ(std::hash<ApplicationEntry>{}(entry), std::hash<ApplicationEntry>{}(sized.withSize(0)));
}
