#include "ChildProcess.h"
#include "SafetyTestSupport.h"
#include "TempTree.h"
#include "Error.h"
#include "safety/AuditLog.h"
#include "platform/UniqueFd.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <algorithm>
#include <fstream>
#include <regex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace brisklet;
using brisklet::test::TempTree;
using brisklet::test::folderNames;
using brisklet::test::readFile;

namespace {

std::vector<std::string> fileLines(const std::string& path) {
    std::vector<std::string> lines;
    const std::string text = readFile(path).value_or("");
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string validLine(int bytes, const std::string& path = "\\/a") {
    return "{\"timestamp\":786000000.5,\"operation\":\"trash\",\"path\":\"" + path +
           "\",\"bytes\":" + std::to_string(bytes) + ",\"result\":\"ok\"}";
}

} // namespace

TEST(AuditLogFile, FirstRecordCreatesTheFileAndLaterOnesAppend) {
    TempTree tree;
    AuditLog log(tree.path("fresh/Brisklet"));
    EXPECT_EQ(log.filePath(), tree.path("fresh/Brisklet/audit.jsonl"));
    log.record("trash", "/x/one", 1, "ok");
    log.flush();
    EXPECT_EQ(fileLines(log.filePath()).size(), 1u);
    log.record("purge", "/x/two", 2, "error");
    log.flush();
    ASSERT_EQ(fileLines(log.filePath()).size(), 2u);
    EXPECT_EQ(readFile(log.filePath())->back(), '\n');
    // No temporary file is left behind by the atomic first write.
    EXPECT_EQ(folderNames(tree.path("fresh/Brisklet")), std::vector<std::string>{"audit.jsonl"});
}

TEST(AuditLogFile, LinesAreCompactWithKeysInOrderEscapedSlashesAndAFractionalReferenceTimestamp) {
    TempTree tree;
    AuditLog log(tree.root());
    const auto before = std::chrono::system_clock::now();
    log.record("trash", "/tmp/a \"b\"\\c\n", 42, "ok");
    log.flush();
    const std::vector<std::string> lines = fileLines(log.filePath());
    ASSERT_EQ(lines.size(), 1u);
    const std::regex shape(R"(^\{"timestamp":([0-9]+\.[0-9]+),"operation":"trash","path":"\\/tmp\\/a \\"b\\"\\\\c\\n","bytes":42,"result":"ok"\}$)");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, shape)) << lines[0];
    const double seconds = std::stod(match[1]);
    const double expected = std::chrono::duration<double>(before.time_since_epoch()).count() - 978307200.0;
    EXPECT_NEAR(seconds, expected, 5.0);
}

TEST(AuditLogFile, AWholeSecondStillCarriesAFraction) {
    const AuditLog::Entry entry{AuditLog::fromSecondsSinceReferenceDate(786000000.0), "trash", "/a", 1, "ok"};
    EXPECT_EQ(AuditLog::encode(entry),
              R"({"timestamp":786000000.0,"operation":"trash","path":"\/a","bytes":1,"result":"ok"})");
}

TEST(AuditLogRoundTrip, ARecordedEntryReadsBackWithAllFieldsEqual) {
    TempTree tree;
    AuditLog log(tree.root());
    const auto before = std::chrono::system_clock::now();
    log.record("restore", "/home/me/Doc\xc3\xa9s/r\xc3\xa9sum\xc3\xa9.pdf", 9'000'000'000LL, "missing");
    log.flush();
    const auto after = std::chrono::system_clock::now();
    const std::vector<AuditLog::Entry> entries = log.recentEntries(1);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].operation, "restore");
    EXPECT_EQ(entries[0].path, "/home/me/Doc\xc3\xa9s/r\xc3\xa9sum\xc3\xa9.pdf");
    EXPECT_EQ(entries[0].bytes, 9'000'000'000LL);
    EXPECT_EQ(entries[0].result, "missing");
    EXPECT_GE(entries[0].timestamp, before - std::chrono::microseconds(1));
    EXPECT_LE(entries[0].timestamp, after + std::chrono::microseconds(1));
}

TEST(AuditLogRoundTrip, AReasonIsKeptAfterTheResultAndALineWithoutOneStillReads) {
    TempTree tree;
    tree.writeFile("audit.jsonl", validLine(1) + "\n" + R"({"timestamp":1.5,"operation":"trash","path":"/b","bytes":2,"result":"rejected","reason":7})" + "\n");
    AuditLog log(tree.root());
    log.record("trash", "/usr/x", 3, "rejected", "refusing to delete inside /usr");
    log.flush();
    EXPECT_NE(fileLines(log.filePath()).back().find(R"("result":"rejected","reason":"refusing to delete inside \/usr"})"),
              std::string::npos);
    const auto entries = log.recentEntries(10);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].reason, "");
    EXPECT_EQ(entries[1].reason, "") << "a reason that is not text is dropped, not the entry";
    EXPECT_EQ(entries[2].reason, "refusing to delete inside /usr");
}

TEST(AuditLogRoundTrip, APathThatIsNotUtf8IsWrittenWithReplacementCharacters) {
    TempTree tree;
    AuditLog log(tree.root());
    log.record("trash", "/tmp/bad\xff name", 3, "ok");
    log.flush();
    const auto entries = log.recentEntries(10);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, "/tmp/bad\xef\xbf\xbd name");
}

TEST(AuditLogRoundTrip, APathHoldingEveryControlByteReadsBackUnchanged) {
    TempTree tree;
    AuditLog log(tree.root());
    std::string path = "/c";
    for (char c = 0x01; c <= 0x1F; ++c)
        path += c;
    log.record("trash", path, 1, "ok");
    log.flush();
    const auto entries = log.recentEntries(10);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, path);
}

TEST(AuditLogReading, GarbageForeignAndIncompleteLinesAreSkippedOneByOne) {
    TempTree tree;
    tree.writeFile("audit.jsonl", validLine(1) + "\n" + "not json at all\n" + "\n" +
                                      R"({"timestamp":1.5,"operation":"trash","path":"/a","result":"ok"})" + "\n" +
                                      R"({"timestamp":"x","operation":"trash","path":"/a","bytes":1,"result":"ok"})" +
                                      "\n" + R"({"timestamp":1,"operation":"trash","path":"/a","bytes":1.5,"result":"ok"})" +
                                      "\n[1,2]\n" + validLine(2, "/plain/slash") + "\n" + R"({"timestamp":1.5,"oper)");
    AuditLog log(tree.root());
    const auto entries = log.recentEntries(200);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].bytes, 1);
    EXPECT_EQ(entries[0].path, "/a");
    EXPECT_EQ(entries[1].path, "/plain/slash");
}

TEST(AuditLogReading, ATimestampBeyondTheClocksRangeIsSkippedRatherThanWrappedAround) {
    // Far enough out to overflow the clock's nanosecond count, alone or once 2001 is added.
    for (const char* seconds : {"1e12", "-1e12", "8.5e9", "-10.1e9"}) {
        const std::string line = std::string("{\"timestamp\":") + seconds +
                                 ",\"operation\":\"trash\",\"path\":\"\\/a\",\"bytes\":1,\"result\":\"ok\"}";
        const auto entry = AuditLog::decode(line);
        EXPECT_FALSE(entry) << seconds << " read back as "
                            << (entry ? AuditLog::secondsSinceReferenceDate(entry->timestamp) : 0.0);
    }
    // A date far out but within the clock's range still reads back.
    const auto future = AuditLog::decode(validLine(1).replace(13, 11, "3000000000.25"));
    ASSERT_TRUE(future);
    EXPECT_DOUBLE_EQ(AuditLog::secondsSinceReferenceDate(future->timestamp), 3000000000.25);
}

TEST(AuditLogReading, AMissingFileReadsAsEmptyAndALineThatIsNotUtf8IsSkippedAlone) {
    TempTree tree;
    AuditLog missing(tree.path("none"));
    EXPECT_TRUE(missing.recentEntries(10).empty());
    tree.writeFile("bad/audit.jsonl", validLine(1) + "\n" + validLine(2, "\\/b\xff") + "\n" + validLine(3) + "\n");
    AuditLog bad(tree.path("bad"));
    const auto entries = bad.recentEntries(10);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].bytes, 1);
    EXPECT_EQ(entries[1].bytes, 3);
}

TEST(AuditLogReading, AShortWriteOnAFullDiskTearsOneLineAndHidesNoOther) {
    TempTree tree;
    test::TmpfsMount disk(tree.path("disk"), "size=64k,mode=0755");
    if (!disk.mounted())
        GTEST_SKIP() << disk.failure();
    const std::string filler = tree.path("disk/filler");
    std::string path = "/";
    for (int i = 0; i < 2000; ++i)
        path += "\xf0\x9f\x98\x80"; // four bytes each: most cuts land inside one
    // The write stops where the last free page ends; shift the line until that splits a character.
    for (int shift = 0; shift < 16; ++shift) {
        ::unlink(filler.c_str());
        tree.writeFile("disk/audit.jsonl", validLine(1, "\\/before") + "\n" + std::string(std::size_t(shift), ' ') + "\n");
        AuditLog log(disk.path());
        for (platform::UniqueFd fill(::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600));
             ::write(fill.get(), filler.data(), 1) > 0;) {
        }
        log.record("trash", path, 2, "ok");
        log.flush();
        const std::string text = readFile(log.filePath()).value_or("");
        const std::size_t start = text.find("\"path\":\"\\/\xf0");
        if (start == std::string::npos || text.back() == '\n' || (text.size() - start - 10) % 4 == 0)
            continue; // cut before the path or between two characters
        ::unlink(filler.c_str());
        log.record("trash", "/after", 3, "ok");
        log.flush();
        const auto entries = log.recentEntries(200);
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(entries[0].path, "/before");
        EXPECT_EQ(entries[1].path, "/after");
        return;
    }
    FAIL() << "no short write ended inside a character";
}

TEST(AuditLogReading, TheLimitKeepsTheNewestInFileOrder) {
    TempTree tree;
    std::string text;
    for (int i = 1; i <= 250; ++i)
        text += validLine(i) + "\n";
    tree.writeFile("audit.jsonl", text);
    AuditLog log(tree.root());
    const auto entries = log.recentEntries(200);
    ASSERT_EQ(entries.size(), 200u);
    EXPECT_EQ(entries.front().bytes, 51);
    EXPECT_EQ(entries.back().bytes, 250);
    EXPECT_TRUE(log.recentEntries(0).empty());
}

// Bytes this process has read through read(2) and its kin so far.
std::uint64_t bytesReadSoFar() {
    std::ifstream io("/proc/self/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value && key != "rchar:") {
    }
    return value;
}

TEST(AuditLogWriting, TheLogIsRotatedAtTenMegabytesAndBothFilesAreReadFromTheirEnds) {
    TempTree tree;
    std::string text;
    for (int i = 1; text.size() < 10'000'000; ++i)
        text += validLine(i) + "\n";
    const std::int64_t last = std::count(text.begin(), text.end(), '\n');
    tree.writeFile("audit.jsonl", text);
    tree.writeFile("audit.jsonl.1", validLine(-1) + "\n");
    AuditLog log(tree.root());
    log.record("trash", "/fresh", 0, "ok");
    log.flush();
    EXPECT_EQ(readFile(log.previousFilePath()), text) << "one old file is kept, replacing the one before";
    EXPECT_EQ(fileLines(log.filePath()).size(), 1u);
    const std::uint64_t before = bytesReadSoFar();
    const auto entries = log.recentEntries(3);
    EXPECT_LT(bytesReadSoFar() - before, text.size() / 10) << "the whole log was read for its last lines";
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].bytes, last - 1);
    EXPECT_EQ(entries[1].bytes, last);
    EXPECT_EQ(entries[2].path, "/fresh");
}

TEST(AuditLogWriting, AFileEndingInATornLineDoesNotSwallowTheNextEntry) {
    TempTree tree;
    tree.writeFile("audit.jsonl", validLine(1) + "\n{\"timestamp\":1.0,\"oper");
    AuditLog log(tree.root());
    log.record("trash", "/after", 7, "ok");
    log.flush();
    const auto entries = log.recentEntries(10);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].path, "/after");
}

TEST(AuditLogWriting, AFileThatCannotBeOpenedForWritingIsNeverReplaced) {
    TempTree tree;
    const std::string folder = tree.makeDir("locked");
    const std::string contents = validLine(1) + "\ngarbage\xff\n";
    const std::string file = tree.writeFile("locked/audit.jsonl", contents);
    ::chmod(file.c_str(), 0444);
    // The folder stays writable, so replacing the file would be possible: it must not happen.
    ASSERT_EQ(::chown(folder.c_str(), test::unprivilegedUid(), test::unprivilegedGid()), 0);
    ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);
    const int status = test::runUnprivileged([&] {
        AuditLog log(folder);
        log.record("trash", "/x", 1, "ok");
        log.flush();
        return 0;
    });
    ASSERT_EQ(status, 0);
    EXPECT_EQ(readFile(file), contents);
    EXPECT_EQ(folderNames(folder), std::vector<std::string>{"audit.jsonl"});
}

TEST(AuditLogWriting, AFolderRemovedSinceConstructionIsMadeAgainSoNothingIsLost) {
    TempTree tree;
    AuditLog log(tree.path("data/Brisklet"));
    log.record("trash", "/x/one", 1, "ok");
    log.flush();
    // The folder is a user's folder like any other: it may be trashed, even through Brisklet itself.
    ASSERT_EQ(::rename(tree.path("data/Brisklet").c_str(), tree.path("trashed").c_str()), 0);
    log.record("trash", tree.path("data/Brisklet"), 2, "ok");
    log.flush();
    const auto entries = log.recentEntries(10);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].bytes, 2);
    EXPECT_EQ(fileLines(tree.path("trashed/audit.jsonl")).size(), 1u) << "the moved file is left as it is";
}

TEST(AuditLogWriting, AFolderInThePlaceOfTheFileIsLeftAlone) {
    TempTree tree;
    tree.writeFile("audit.jsonl/keep", "x");
    AuditLog log(tree.root());
    log.record("trash", "/x", 1, "ok");
    log.flush();
    EXPECT_EQ(readFile(tree.path("audit.jsonl/keep")), "x");
    EXPECT_EQ(folderNames(tree.root()), std::vector<std::string>{"audit.jsonl"});
    EXPECT_TRUE(log.recentEntries(5).empty());
}

TEST(AuditLogConcurrency, EightThreadsRecordingTogetherLoseAndInterleaveNothing) {
    TempTree tree;
    AuditLog log(tree.root());
    constexpr int threads = 8, perThread = 400;
    {
        std::vector<std::jthread> writers;
        for (int t = 0; t < threads; ++t)
            writers.emplace_back([&log, t] {
                for (int i = 0; i < perThread; ++i)
                    log.record("trash", "/thread/" + std::to_string(t) + "/" + std::string(i % 7 * 40, 'x'),
                               t * 100000 + i, "ok");
            });
    }
    log.flush();
    EXPECT_EQ(fileLines(log.filePath()).size(), static_cast<std::size_t>(threads * perThread));
    const auto entries = log.recentEntries(100000);
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(threads * perThread));
    std::vector<int> next(threads, 0);
    for (const auto& entry : entries) {
        const int t = static_cast<int>(entry.bytes / 100000);
        ASSERT_GE(t, 0);
        ASSERT_LT(t, threads);
        EXPECT_EQ(entry.bytes % 100000, next[t]) << "entries of one thread out of order";
        next[t] = static_cast<int>(entry.bytes % 100000) + 1;
    }
}

TEST(AuditLogLifetime, DestroyingTheLogWritesWhatIsStillQueued) {
    TempTree tree;
    {
        AuditLog log(tree.root());
        for (int i = 0; i < 100; ++i)
            log.record("trash", "/q", i, "ok");
    }
    EXPECT_EQ(fileLines(tree.path("audit.jsonl")).size(), 100u);
}

TEST(AuditLogShared, IsOneInstanceInTheStateFolder) {
    TempTree tree;
    test::ScopedSafetyEnvironment environment(tree);
    // shared() is made once per process; this test binary asks for it here first.
    const auto shared = AuditLog::shared();
    EXPECT_EQ(shared, AuditLog::shared());
    EXPECT_EQ(shared->filePath(), environment.stateHome() + "/brisklet/audit.jsonl");
    EXPECT_EQ(shared->queueLabel(), std::string(engineIdentifier()) + ".auditlog");
}

// An earlier log is moved in whole, before everything already here, once; its torn last line stays apart.
TEST(AuditLogAdoption, AnEarlierLogLosesNothingAndComesFirst) {
    const auto lines = [](std::initializer_list<int> numbers) {
        std::string text;
        for (int n : numbers)
            text += validLine(n) + "\n";
        return text;
    };
    const struct {
        std::string current, previous;
        std::vector<std::int64_t> expected;
    } cases[] = {{"", "", {1, 2}}, {lines({5}), "", {1, 2, 5}}, {lines({5}), lines({3, 4}), {1, 2, 3, 4, 5}}};
    for (const auto& c : cases) {
        TempTree tree;
        const std::string earlier = tree.writeFile("data/Brisklet/audit.jsonl", lines({1, 2}) + "{\"torn");
        for (const auto& [name, text] : {std::pair{"state/audit.jsonl", c.current}, {"state/audit.jsonl.1", c.previous}})
            if (!text.empty())
                tree.writeFile(name, text);
        AuditLog log(tree.path("state"));
        for (int twice = 0; twice < 2; ++twice) {
            log.adoptEarlierLog(earlier);
            log.flush();
            std::vector<std::int64_t> read;
            for (const auto& entry : log.recentEntries(100))
                read.push_back(entry.bytes);
            EXPECT_EQ(read, c.expected);
        }
        EXPECT_FALSE(test::somethingAt(tree.path("data/Brisklet"))) << "the emptied earlier folder goes too";
    }
}
