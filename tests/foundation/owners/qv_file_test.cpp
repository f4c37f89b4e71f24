#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/os/read_whole_file.h"
#include "foundation/owners/qv_file.h"
#include "foundation/owners/scoped_handle.h"
#include "support/temp_dir.h"

namespace {

constexpr int64_t kGiB = 1024LL * 1024 * 1024;

// Whether someone else may open the file now for reading, and for writing, while letting the
// holder do anything: tells which sharing the holder allowed.
bool CanOpen(const std::wstring& path, DWORD access) {
  const ScopedFileHandle probe(CreateFileW(path.c_str(), access,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(probe);
}

std::string ReadAll(QVFile& file) {
  std::string text;
  char buffer[64];
  for (uint32_t got; (got = file.read(buffer, sizeof(buffer))) > 0;) text.append(buffer, got);
  return text;
}

}  // namespace

TEST(QVFile, EachModeHasItsAccessSharingAndStartingPoint) {
  struct Case {
    int mode;
    bool opensMissing;  // creates a missing file
    bool truncates;     // an existing file's content is dropped
    bool atEnd;         // starts at the end of an existing file
    bool reads;         // reading gives the content
    bool othersRead;    // someone else may open it for reading meanwhile
    bool othersWrite;   // ... and for writing
  } cases[] = {
      {0, false, false, false, true, true, true}, {1, true, true, false, false, true, false},
      {2, true, true, false, true, false, false}, {3, true, false, true, false, true, false},
      {4, true, false, true, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode));
    qvtest::ScopedTempDir dir;
    const std::wstring existing = dir.path() + L"existing.txt";
    const std::wstring missing = dir.path() + L"missing.txt";
    qvtest::WriteFileBytes(existing, "0123456789");

    {
      QVFile file;
      ASSERT_EQ(file.open(existing, c.mode), QVFile::kOpened);
      EXPECT_TRUE(file.isOpen());
      EXPECT_EQ(file.seek(0, QVFile::kFromCurrent), c.atEnd ? 10 : 0);
      EXPECT_EQ(file.size(), c.truncates ? 0 : 10);
      EXPECT_EQ(CanOpen(existing, GENERIC_READ), c.othersRead);
      EXPECT_EQ(CanOpen(existing, GENERIC_WRITE), c.othersWrite);
      file.seek(0, QVFile::kFromStart);
      EXPECT_EQ(ReadAll(file), c.reads && !c.truncates ? "0123456789" : "");
    }
    EXPECT_EQ(qvtest::ReadFileBytes(existing), c.truncates ? "" : "0123456789");
    EXPECT_TRUE(CanOpen(existing, GENERIC_WRITE)) << "destruction closes";

    QVFile created;
    EXPECT_EQ(created.open(missing, c.mode),
              c.opensMissing ? QVFile::kOpened : QVFile::kOpenFailed);
    EXPECT_EQ(created.isOpen(), c.opensMissing);
    EXPECT_EQ(qvtest::FileExists(missing), c.opensMissing);
  }
}

TEST(QVFile, OpenResultCodes) {
  qvtest::ScopedTempDir dir;
  const std::wstring first = dir.path() + L"first.txt";
  const std::wstring second = dir.path() + L"second.txt";
  qvtest::WriteFileBytes(first, "first");
  qvtest::WriteFileBytes(second, "second");

  QVFile file;
  for (int mode : {-1, 5, 100}) {
    EXPECT_EQ(file.open(first, mode), QVFile::kBadMode) << mode;
    EXPECT_FALSE(file.isOpen()) << mode;
  }
  EXPECT_EQ(file.open(dir.path() + L"absent\\first.txt", QVFile::kModeWriteTruncate),
            QVFile::kOpenFailed);
  EXPECT_FALSE(file.isOpen());
  EXPECT_EQ(file.open(dir.path(), QVFile::kModeRead), QVFile::kOpenFailed) << "a directory";
  EXPECT_FALSE(file.isOpen());

  ASSERT_EQ(file.open(first, QVFile::kModeRead), QVFile::kOpened);
  // A held file is kept: neither a valid nor an invalid second open touches it or the path.
  EXPECT_EQ(file.open(second, QVFile::kModeWriteTruncate), QVFile::kAlreadyOpen);
  EXPECT_EQ(file.open(second, 9), QVFile::kAlreadyOpen);
  EXPECT_EQ(ReadAll(file), "first");
  EXPECT_EQ(qvtest::ReadFileBytes(second), "second");

  file.close();
  file.close();
  EXPECT_FALSE(file.isOpen());
  EXPECT_EQ(file.open(second, QVFile::kModeRead), QVFile::kOpened) << "closed, it opens again";
  EXPECT_EQ(ReadAll(file), "second");
}

TEST(QVFile, ClosedFileReadsNothingAndCannotSeekOrSize) {
  QVFile file;
  char buffer[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(file.read(buffer, sizeof(buffer)), 0u);
  EXPECT_EQ(std::string(buffer, 4), "xxxx");
  for (int origin : {0, 1, 2}) EXPECT_EQ(file.seek(0, origin), -1) << origin;
  EXPECT_EQ(file.size(), -1);
}

TEST(QVFile, SeekFromEachOriginAndSizeKeepsThePosition) {
  qvtest::ScopedTempDir dir;
  const std::wstring path = dir.path() + L"digits.txt";
  qvtest::WriteFileBytes(path, "0123456789");
  QVFile file;
  ASSERT_EQ(file.open(path, QVFile::kModeRead), QVFile::kOpened);

  struct Case {
    int64_t distance;
    int origin;
    int64_t position;
    std::string next;
  } cases[] = {
      {3, QVFile::kFromStart, 3, "3"},     // the read moves on to 4
      {2, QVFile::kFromCurrent, 6, "6"},   // then to 7
      {-3, QVFile::kFromCurrent, 4, "4"},  // then to 5
      {-1, QVFile::kFromEnd, 9, "9"},     {0, QVFile::kFromEnd, 10, ""},
      {4, QVFile::kFromEnd, 14, ""},  // past the end is allowed and reads nothing
      {0, QVFile::kFromStart, 0, "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.distance) + " from " + std::to_string(c.origin));
    EXPECT_EQ(file.seek(c.distance, c.origin), c.position);
    EXPECT_EQ(file.size(), 10);
    EXPECT_EQ(file.seek(0, QVFile::kFromCurrent), c.position) << "Size leaves the position";
    char byte = 0;
    EXPECT_EQ(std::string(&byte, file.read(&byte, 1)), c.next);
  }

  // Refused moves report -1 and leave the position alone.
  ASSERT_EQ(file.seek(5, QVFile::kFromStart), 5);
  EXPECT_EQ(file.seek(-1, QVFile::kFromStart), -1) << "before the start";
  EXPECT_EQ(file.seek(-11, QVFile::kFromEnd), -1) << "before the start";
  for (int origin : {-1, 3}) EXPECT_EQ(file.seek(0, origin), -1) << "origin " << origin;
  EXPECT_EQ(file.seek(0, QVFile::kFromCurrent), 5);
}

TEST(QVFile, PositionsAndSizePast4GiB) {
  qvtest::ScopedTempDir dir;
  const std::wstring path = dir.path() + L"large.bin";
  const int64_t size = 5 * kGiB + 7;
  ASSERT_TRUE(qvtest::WriteLargeFile(path, size, 4 * kGiB + 3, "mark"));

  QVFile file;
  ASSERT_EQ(file.open(path, QVFile::kModeRead), QVFile::kOpened);
  EXPECT_EQ(file.size(), size);
  EXPECT_EQ(file.seek(-7, QVFile::kFromEnd), 5 * kGiB);
  EXPECT_EQ(file.seek(-(kGiB - 3), QVFile::kFromCurrent), 4 * kGiB + 3);
  char marker[4] = {};
  ASSERT_EQ(file.read(marker, 4), 4u);
  EXPECT_EQ(std::string(marker, 4), "mark");
  EXPECT_EQ(file.seek(0, QVFile::kFromCurrent), 4 * kGiB + 7);
  EXPECT_EQ(file.size(), size);
  EXPECT_EQ(file.seek(0, QVFile::kFromCurrent), 4 * kGiB + 7);

  file.close();
  ASSERT_EQ(file.open(path, QVFile::kModeReadWriteAppend), QVFile::kOpened);
  EXPECT_EQ(file.seek(0, QVFile::kFromCurrent), size) << "appending modes start at the 64-bit end";
}

TEST(ReadWholeFile, ReadsEveryByteOfAFile) {
  qvtest::ScopedTempDir dir;
  const std::string cases[] = {
      std::string(),
      std::string("a\0b\r\n\xFF\xFE", 7),
      std::string(200000, 'x') + "end",
  };
  for (const std::string& content : cases) {
    const std::wstring path = dir.path() + L"data.bin";
    qvtest::WriteFileBytes(path, content);
    std::vector<char> bytes(3, 'z');
    ASSERT_TRUE(ReadWholeFile(path, &bytes)) << content.size();
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content);
  }
}

TEST(ReadWholeFile, FailsForMissingDirectoryHeldAndOver4GiBFiles) {
  qvtest::ScopedTempDir dir;
  const std::vector<char> untouched = {'k', 'e', 'p', 't'};
  std::vector<char> bytes = untouched;

  EXPECT_FALSE(ReadWholeFile(dir.path() + L"missing.txt", &bytes));
  EXPECT_FALSE(ReadWholeFile(dir.path(), &bytes));

  const std::wstring held = dir.path() + L"held.txt";
  qvtest::WriteFileBytes(held, "app1\r\n");
  {
    // Any other open handle, even one sharing everything, keeps the file from being read.
    const ScopedFileHandle holder(CreateFileW(
        held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_FALSE(ReadWholeFile(held, &bytes));
  }
  EXPECT_EQ(bytes, untouched);
  ASSERT_TRUE(ReadWholeFile(held, &bytes)) << "released, it reads";
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "app1\r\n");

  // 4 GiB and 3 bytes: the low half of the size alone would read 3 bytes and call it the file.
  const std::wstring large = dir.path() + L"large.txt";
  ASSERT_TRUE(qvtest::WriteLargeFile(large, 4 * kGiB + 3, 0, "abc"));
  bytes = untouched;
  EXPECT_FALSE(ReadWholeFile(large, &bytes));
  EXPECT_EQ(bytes, untouched);
}
