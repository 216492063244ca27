#include <cstring>
#include <memory>

#include "gtest/gtest.h"
#include "split/mapped_file.h"
#include "tests/support/test_files.h"

class MappedFileTest : public ::testing::Test {
protected:
    ScratchDir dir_;
};

TEST_F(MappedFileTest, ANewObjectIsClosedAndEmpty) {
    MappedFile file;
    EXPECT_EQ(Closed, file.stage);
    EXPECT_TRUE(file.readOnly);
    EXPECT_EQ(0u, file.size);
    EXPECT_EQ(0u, file.offset);
    EXPECT_EQ(0u, file.existed);
    EXPECT_EQ(nullptr, file.cursor);
    EXPECT_EQ(nullptr, file.viewBase);
}

TEST_F(MappedFileTest, WriterOfSizeZeroCreatesNoFile) {
    MappedFile writer;
    EXPECT_EQ(0, writer.OpenForWrite((dir_ / "zero").c_str(), 0));
    EXPECT_EQ(Closed, writer.stage);
    EXPECT_FALSE(FileExists(dir_ / "zero"));
}

TEST_F(MappedFileTest, ReaderOfAnEmptyFileStopsWithTheFileOpen) {
    ASSERT_TRUE(WriteBytes(dir_ / "empty", {}));
    auto reader = std::make_unique<MappedFile>();
    EXPECT_EQ(0, reader->OpenForRead((dir_ / "empty").c_str()));
    EXPECT_EQ(FileOpen, reader->stage);
    EXPECT_EQ(1, reader->Close());
    EXPECT_EQ(Closed, reader->stage);
    // The handle is gone: the file can be deleted.
    EXPECT_TRUE(DeleteFileA((dir_ / "empty").c_str()));
}

TEST_F(MappedFileTest, ReaderOfAMissingFileStaysClosed) {
    MappedFile reader;
    EXPECT_EQ(0, reader.OpenForRead((dir_ / "missing").c_str()));
    EXPECT_EQ(Closed, reader.stage);
}

TEST_F(MappedFileTest, ReaderSeesTheWholeFileAndSkipsToItsEnd) {
    std::vector<char> bytes = PatternBytes(5000);
    ASSERT_TRUE(WriteBytes(dir_ / "source", bytes));
    MappedFile reader;
    ASSERT_EQ(1, reader.OpenForRead((dir_ / "source").c_str()));
    EXPECT_EQ(ViewMapped, reader.stage);
    EXPECT_EQ(5000u, reader.size);
    EXPECT_EQ(0, std::memcmp(reader.cursor, bytes.data(), bytes.size()));
    EXPECT_TRUE(reader.Skip(4000));
    EXPECT_EQ(0, std::memcmp(reader.cursor, bytes.data() + 4000, 1000));
    EXPECT_TRUE(reader.Skip(1500));  // longer than what is left: to the end
    EXPECT_EQ(5000u, reader.offset);
    EXPECT_EQ(reader.viewBase + 5000, reader.cursor);
    EXPECT_FALSE(reader.Skip(1));
    EXPECT_EQ(0, reader.Write("x", 1)) << "a reader's view is not written";
    EXPECT_EQ(1, reader.Close());
    EXPECT_EQ(bytes, ReadBytes(dir_ / "source"));
}

TEST_F(MappedFileTest, ReaderLetsOthersReadAndWriteTheSource) {
    ASSERT_TRUE(WritePattern(dir_ / "shared", 100));
    MappedFile reader;
    ASSERT_EQ(1, reader.OpenForRead((dir_ / "shared").c_str()));
    HANDLE other = CreateFileA((dir_ / "shared").c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, other);
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
}

TEST_F(MappedFileTest, WriterSharesItsFileWithNobody) {
    MappedFile writer;
    ASSERT_EQ(1, writer.OpenForWrite((dir_ / "part").c_str(), 10));
    HANDLE other = CreateFileA((dir_ / "part").c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, other);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
}

TEST_F(MappedFileTest, WriteIsCutToTheRoomLeft) {
    MappedFile writer;
    ASSERT_EQ(1, writer.OpenForWrite((dir_ / "eight").c_str(), 8));
    EXPECT_FALSE(writer.readOnly);
    EXPECT_EQ(1, writer.Write("12345", 5));
    EXPECT_EQ(1, writer.Write("ABCDEFGHIJ", 10));
    EXPECT_EQ(8u, writer.offset);
    EXPECT_EQ(writer.viewBase + 8, writer.cursor);
    EXPECT_EQ(0, writer.Write("Z", 1));
    EXPECT_EQ(1, writer.Close());
    EXPECT_EQ("12345ABC", ReadText(dir_ / "eight"));
}

TEST_F(MappedFileTest, WriterIsCutBackToTheBytesWrittenOnClose) {
    std::vector<char> bytes = PatternBytes(40);
    MappedFile writer;
    ASSERT_EQ(1, writer.OpenForWrite((dir_ / "hundred").c_str(), 100));
    ASSERT_EQ(1, writer.Write(bytes.data(), 40));
    EXPECT_EQ(1, writer.Close());
    EXPECT_EQ(bytes, ReadBytes(dir_ / "hundred"));
    EXPECT_EQ(1, writer.Close()) << "a second Close does nothing";
}

TEST_F(MappedFileTest, DeletingAMappedWriterCutsItBackToo) {
    auto* writer = new MappedFile;
    ASSERT_EQ(1, writer->OpenForWrite((dir_ / "deleted").c_str(), 100));
    writer->Write("abc", 3);
    delete writer;
    EXPECT_EQ("abc", ReadText(dir_ / "deleted"));
}

TEST_F(MappedFileTest, WriterReplacesAnExistingFileAndRecordsThatItExisted) {
    ASSERT_TRUE(WritePattern(dir_ / "old", 5000));
    MappedFile replacing;
    ASSERT_EQ(1, replacing.OpenForWrite((dir_ / "old").c_str(), 4));
    EXPECT_EQ(2u, replacing.existed);
    replacing.Write("new!", 4);
    replacing.Close();
    EXPECT_EQ("new!", ReadText(dir_ / "old"));

    MappedFile creating;
    ASSERT_EQ(1, creating.OpenForWrite((dir_ / "fresh").c_str(), 4));
    EXPECT_EQ(1u, creating.existed);
}

TEST_F(MappedFileTest, WriterOnAFileThatCannotBeWrittenFailsAndStaysClosed) {
    // A folder of that name: no file can be created in its place.
    ASSERT_TRUE(CreateDirectoryA((dir_ / "locked").c_str(), nullptr));
    MappedFile writer;
    EXPECT_EQ(0, writer.OpenForWrite((dir_ / "locked").c_str(), 10));
    EXPECT_EQ(Closed, writer.stage);
    EXPECT_EQ(nullptr, writer.viewBase);
}

TEST_F(MappedFileTest, WriteAndSkipBeforeAnOpenTouchNothing) {
    MappedFile unopened;
    EXPECT_EQ(0, unopened.Write("abc", 3));
    EXPECT_FALSE(unopened.Skip(3));
    EXPECT_EQ(0u, unopened.offset);
    EXPECT_EQ(nullptr, unopened.cursor);

    // Also after an open that failed part-way, with a size already recorded.
    ASSERT_TRUE(WriteBytes(dir_ / "empty", {}));
    MappedFile failed;
    ASSERT_EQ(0, failed.OpenForRead((dir_ / "empty").c_str()));
    failed.size = 100;
    EXPECT_EQ(0, failed.Write("abc", 3));
    EXPECT_FALSE(failed.Skip(3));
    EXPECT_EQ(0u, failed.offset);
    EXPECT_EQ(0, failed.MapView()) << "mapping again from the wrong stage";
}

TEST_F(MappedFileTest, CloseOfAStageOutsideTheTableReleasesNothing) {
    MappedFile odd;
    odd.stage = 2;
    EXPECT_EQ(0, odd.Close());
    EXPECT_EQ(2, odd.stage);
    odd.stage = Closed;
}
