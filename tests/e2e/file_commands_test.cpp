// n, l, w and fs: naming, loading and saving the memory image, through the real binary.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/guest_image.h"

namespace {

bool exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

class FileCommands : public ::testing::Test {
protected:
    std::string run(const std::string& commands) {
        const RunResult r = runVelkor({}, commands + "q\n", noDeviceEnv(), dir);
        EXPECT_EQ(r.status, 0);
        return r.out;
    }
    std::string dir = makeTempDir();
};

TEST_F(FileCommands, LoadPatchAndWriteKeepTheImageSize) {
    std::string image(300, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7);
    std::ofstream(dir + "/noname.bin", std::ios::binary) << image;
    EXPECT_EQ(run("l\ne 100 41 42\nw\n"),
              ">load file comp.[noname.bin][300(0000012c)]\n>>save file comp.[noname.bin]\n>exit!\n");
    std::string expected = image;
    expected[0x100] = 'A';
    expected[0x101] = 'B';
    EXPECT_EQ(readFile(dir + "/noname.bin"), expected);
}

TEST_F(FileCommands, NamesLoadAndSaveOtherFiles) {
    std::ofstream(dir + "/drv.bin", std::ios::binary) << std::string(0x104, '\x90');
    EXPECT_EQ(run("n  copy.bin\nl drv.bin\nw \t copy.bin\n"),
              ">set filename [copy.bin]\n>load file comp.[drv.bin][260(00000104)]\n>save file comp.[copy.bin]\n>exit!\n");
    EXPECT_EQ(readFile(dir + "/copy.bin"), std::string(0x104, '\x90'));
}

TEST_F(FileCommands, SizeToWriteIsSetInHexAndShownInDecimal) {
    EXPECT_EQ(run("fs 200\nw\nfs zz\nfs\n"),
              ">set filesize -> [512]\n>save file comp.[noname.bin]\n>invalid file size\n>set filesize -> [0]\n>exit!\n");
    EXPECT_EQ(readFile(dir + "/noname.bin").size(), 512u);
    // A size beyond the image writes the whole 1 MiB, no more.
    run("fs 200000\nw big.bin\n");
    EXPECT_EQ(readFile(dir + "/big.bin").size(), 0x100000u);
}

TEST_F(FileCommands, WriteWithNothingLoadedDoesNothing) {
    EXPECT_EQ(run("w\nw other.bin\nl\n"), ">>>file open error.\n>exit!\n");
    EXPECT_FALSE(exists(dir + "/noname.bin"));
    EXPECT_FALSE(exists(dir + "/other.bin"));
}

TEST_F(FileCommands, FilesThatCannotBeOpenedOrRead) {
    ASSERT_EQ(mkdir((dir + "/folder").c_str(), 0755), 0);
    EXPECT_EQ(run("l missing.bin\nl folder\nfs 10\nw folder\nw nodir/x.bin\n"),
              ">file open error.\n>file open error.\n>set filesize -> [16]\n>file open error.\n>file open error.\n"
              ">exit!\n");
}

TEST_F(FileCommands, LoadReadsAtMostOneMegabyte) {
    std::ofstream(dir + "/huge.bin", std::ios::binary) << std::string(0x100000 + 100, 'x');
    EXPECT_EQ(run("l huge.bin\n"), ">load file comp.[huge.bin][1048576(00100000)]\n>exit!\n");
}

TEST_F(FileCommands, LongNamesAreCutTo255Characters) {
    const std::string name(300, 'n');
    EXPECT_EQ(run("n " + name + "\n"), ">set filename [" + name.substr(0, 255) + "]\n>exit!\n");
}

TEST_F(FileCommands, NameTakesTheRestOfTheLineWithTrailingBlanks) {
    EXPECT_EQ(run("n a b  \nn    \n"), ">set filename [a b  ]\n>set filename []\n>exit!\n");
}

}  // namespace
