#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "../sketch/filetesting.h"
#include "../support/testfiles.h"
#include "fileio/atomicfile.h"

namespace {

bool save(const std::string& name, const char* text) {
    AtomicFile out(name);
    if (!out.open())
        return false;
    std::fputs(text, out.stream());
    return out.commit();
}

std::string freshFolder(const std::string& name) {
    const std::string folder = scratchFolder() + "/" + name;
    mkdir(folder.c_str(), 0700);
    return folder;
}

// Runs action in a child process and hands back how it ended (a wait status).
int inChild(const std::function<int()>& action) {
    const pid_t child = fork();
    if (child == 0)
        _exit(action());
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

TEST(AtomicFile, ADanglingLinkGetsItsTargetCreatedAndStaysALink) {
    const std::string folder = freshFolder("links");
    mkdir((folder + "/sub").c_str(), 0700);
    ASSERT_EQ(symlink("sub/new.c2d", (folder + "/link.c2d").c_str()), 0);
    ASSERT_EQ(symlink("link.c2d", (folder + "/link2.c2d").c_str()), 0);
    ASSERT_TRUE(save(folder + "/link2.c2d", "through two links"));
    EXPECT_EQ(readWholeFile(folder + "/sub/new.c2d"), "through two links");
    struct stat info {};
    ASSERT_EQ(lstat((folder + "/link.c2d").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(filesStartingWith(folder + "/sub/new.c2d"), 1) << "no temporary file left";
}

TEST(AtomicFile, TheLongestNameTheSystemAllowsSaves) {
    const std::string name = freshFolder("long") + "/" + std::string(251, 'n') + ".c2d";
    ASSERT_TRUE(save(name, "long")) << "a 255-byte name";
    EXPECT_EQ(readWholeFile(name), "long");
    EXPECT_EQ(filesStartingWith(name), 1);
}

// Regression: a writable file in a folder the user may not write into could not be saved.
// Permissions do not bind root, so as root the saves run in a child as an unprivileged user.
TEST(AtomicFile, AWritableFileInAReadOnlyFolderIsRewrittenInPlace) {
    char pattern[] = "/tmp/mondrel-readonly-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern, file = folder + "/mine.c2d", theirs = folder + "/x.c2d";
    const bool root = geteuid() == 0;
    const uid_t nobody = 65534;
    std::fclose(std::fopen(theirs.c_str(), "w"));
    std::FILE* old = std::fopen(file.c_str(), "w");
    std::fputs("a longer previous content", old);
    std::fclose(old);
    chmod(theirs.c_str(), 0444);
    if (root) {
        ASSERT_EQ(chown(file.c_str(), nobody, nobody), 0);
    }
    chmod(folder.c_str(), 0555);

    const int status = inChild([&] {
        if (root && (setgid(nobody) != 0 || setuid(nobody) != 0))
            return 10;
        if (save(theirs, "refused"))
            return 11;
        return save(file, "new") ? 0 : 12;
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_EQ(readWholeFile(file), "new");
    EXPECT_EQ(readWholeFile(theirs), "");
    EXPECT_EQ(filesStartingWith(file), 1);
    chmod(folder.c_str(), 0700);
    std::remove(file.c_str());
    std::remove(theirs.c_str());
    rmdir(folder.c_str());
}

// Regression: a save ended by a signal left its temporary file behind.
TEST(AtomicFile, ASignalDuringASaveLeavesNoTemporaryFile) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const std::string name = freshFolder("signal" + std::to_string(signal)) + "/c.c2d";
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        if (child == 0) {
            AtomicFile out(name);
            const bool opened = out.open();
            std::fputs("half a curve", out.stream());
            const char answer = opened ? 'y' : 'n';
            if (write(ready[1], &answer, 1) != 1)
                _exit(1);
            pause();
            _exit(2);
        }
        close(ready[1]);
        char answer = 0;
        ASSERT_EQ(read(ready[0], &answer, 1), 1);
        close(ready[0]);
        ASSERT_EQ(answer, 'y');
        EXPECT_EQ(filesStartingWith(name), 1) << "the temporary file exists during the save";
        kill(child, signal);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal)
            << "the signal still ends the process: " << status;
        EXPECT_EQ(filesStartingWith(name), 0) << "signal " << signal;
    }
}

// Regression: a save killed outright (no handler runs) left its temporary file for ever.
TEST(AtomicFile, TheNextSaveRemovesWhatAKilledSaveLeftAndKeepsALiveSavesFile) {
    const std::string name = freshFolder("killed") + "/c.c2d";
    auto saveAndWait = [&name](int ready) {
        AtomicFile out(name);
        const char answer = out.open() ? 'y' : 'n';
        std::fputs("half a curve", out.stream());
        if (write(ready, &answer, 1) != 1)
            _exit(1);
        pause();
        _exit(2);
    };
    pid_t children[2];
    for (pid_t& child : children) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        child = fork();
        if (child == 0)
            saveAndWait(ready[1]);
        close(ready[1]);
        char answer = 0;
        ASSERT_EQ(read(ready[0], &answer, 1), 1);
        close(ready[0]);
        ASSERT_EQ(answer, 'y');
    }
    kill(children[0], SIGKILL);
    waitpid(children[0], nullptr, 0);
    EXPECT_EQ(filesStartingWith(name), 2) << "the killed save's and the live save's";
    ASSERT_TRUE(save(name, "whole"));
    EXPECT_EQ(filesStartingWith(name), 2) << "the file and the live save's temporary file";
    kill(children[1], SIGTERM);
    waitpid(children[1], nullptr, 0);
    EXPECT_EQ(filesStartingWith(name), 1);
    EXPECT_EQ(readWholeFile(name), "whole");
}

} // namespace
