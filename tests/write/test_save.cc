// Saving outputs: a failed write leaves what stood at the path unchanged
// (the input too, when it is the output), no temporary file outlives a
// call, and targets a rename must not replace are written in place.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <string>
#include <vector>

#include "rorezide.h"
#include "support/fixture.h"
#include "support/pdf_check.h"

namespace {

struct save_dir {
    std::string dir = make_temp_dir();
    std::string in = dir + "/in.pdf";
    save_dir() { write_file(in, simple_pdf(12)); }
    ~save_dir() { remove_tree(dir); }
    std::string path(const std::string &name) const { return dir + "/" + name; }
};

// Names in dir that start with a dot: temporary files left behind.
std::vector<std::string> hidden_files(const std::string &dir)
{
    std::vector<std::string> names;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return names;
    while (dirent *e = readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != ".." && n[0] == '.')
            names.push_back(n);
    }
    closedir(d);
    return names;
}

#ifndef _WIN32
// Runs rorezide_range(in, 1, 12, out) in a child process whose files may
// not grow beyond limit bytes (SIGXFSZ ignored, so writes just fail).
// Returns the call's result, or -1 when the child did not report one.
int range_with_file_limit(const std::string &in, const std::string &out, rlim_t limit)
{
    pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl = {limit, limit};
        setrlimit(RLIMIT_FSIZE, &rl);
        int ok = rorezide_range(in.c_str(), 1, 12, out.c_str());
        bool message = std::string(rorezide_last_error()) ==
                       "Write error while saving to '" + out + "'";
        _exit(ok == 0 && message ? 10 : ok);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

mode_t mode_of(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}
#endif

}  // namespace

TEST(SaveOutput, AFailedWriteLeavesTheInputAndOtherTargetsAsTheyWere)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs fork and setrlimit";
#else
    save_dir w;
    std::string original = read_file(w.in);
    rlim_t limit = original.size() / 2;

    // The output is the input: the write fails half-way.
    EXPECT_EQ(range_with_file_limit(w.in, w.in, limit), 10);
    EXPECT_EQ(read_file(w.in), original);

    std::string other = w.path("other.pdf");
    write_file(other, "an unrelated file");
    EXPECT_EQ(range_with_file_limit(w.in, other, limit), 10);
    EXPECT_EQ(read_file(other), "an unrelated file");
    EXPECT_EQ(hidden_files(w.dir), std::vector<std::string>());

    // With room, the same call replaces the input with its first three pages.
    ASSERT_EQ(rorezide_range(w.in.c_str(), 1, 3, w.in.c_str()), 1);
    EXPECT_EQ(new_kids(read_file(w.in)), std::vector<int>({3, 4, 5}));
    EXPECT_EQ(rorezide_page_count(w.in.c_str()), 3);
    EXPECT_EQ(hidden_files(w.dir), std::vector<std::string>());
#endif
}

TEST(SaveOutput, ReplacedTargetsKeepTheirModeLinksAndNames)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs permission bits and symbolic links";
#else
    save_dir w;
    std::string target = w.path("kept.pdf");
    write_file(target, "old");
    chmod(target.c_str(), 0640);
    ASSERT_EQ(rorezide_range(w.in.c_str(), 2, 2, target.c_str()), 1);
    EXPECT_EQ(mode_of(target), 0640u);
    EXPECT_EQ(new_kids(read_file(target)), std::vector<int>({4}));

    // A symbolic link stays a link; the file it leads to gets the output.
    std::string real = w.path("real.pdf");
    std::string via = w.path("link.pdf");
    write_file(real, "old");
    ASSERT_EQ(symlink("real.pdf", via.c_str()), 0);
    ASSERT_EQ(rorezide_range(w.in.c_str(), 3, 3, via.c_str()), 1);
    struct stat st;
    ASSERT_EQ(lstat(via.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(new_kids(read_file(real)), std::vector<int>({5}));

    // A file with two names is written in place, so both names see it.
    std::string second = w.path("second-name.pdf");
    ASSERT_EQ(link(real.c_str(), second.c_str()), 0);
    ASSERT_EQ(rorezide_range(w.in.c_str(), 4, 4, second.c_str()), 1);
    EXPECT_EQ(new_kids(read_file(real)), std::vector<int>({6}));

    // A device is written in place too.
    if (file_exists("/dev/null")) {
        EXPECT_EQ(rorezide_range(w.in.c_str(), 1, 1, "/dev/null"), 1);
    }

    // A target that may not be written is refused, not replaced (root may
    // write anything).
    if (geteuid() != 0) {
        chmod(target.c_str(), 0440);
        EXPECT_EQ(rorezide_range(w.in.c_str(), 1, 1, target.c_str()), 0);
        EXPECT_EQ(std::string(rorezide_last_error()),
                  "Cannot open output file '" + target + "' for writing");
    }
    EXPECT_EQ(hidden_files(w.dir), std::vector<std::string>());
#endif
}

// What the platform's own calls must do for the save, on Windows too.
TEST(SaveOutput, TargetsAreReplacedWholeAndSecondNamesWrittenInPlace)
{
    save_dir w;
    // An existing target longer than the output, and the input itself, hold
    // exactly the new file afterwards.
    std::string target = w.path("long.pdf");
    write_file(target, std::string(100000, 'x'));
    ASSERT_EQ(rorezide_range(w.in.c_str(), 2, 2, target.c_str()), 1) << rorezide_last_error();
    std::string out = read_file(target);
    EXPECT_EQ(check_layout(out), "");
    EXPECT_EQ(new_kids(out), std::vector<int>({4}));
    ASSERT_EQ(rorezide_range(w.in.c_str(), 1, 3, w.in.c_str()), 1) << rorezide_last_error();
    EXPECT_EQ(rorezide_page_count(w.in.c_str()), 3);

    // The null device is written to, not replaced.
#ifdef _WIN32
    const char *null_device = "NUL";
#else
    const char *null_device = "/dev/null";
#endif
    EXPECT_EQ(rorezide_range(w.in.c_str(), 1, 1, null_device), 1) << rorezide_last_error();

    // A file with two names is written in place, so both names see it.
    std::string second = w.path("second-name.pdf");
    if (!make_hard_link(target, second))
        GTEST_SKIP() << "no hard links here";
    ASSERT_EQ(rorezide_range(w.in.c_str(), 3, 3, second.c_str()), 1) << rorezide_last_error();
    EXPECT_EQ(new_kids(read_file(target)), std::vector<int>({5}));
    EXPECT_EQ(hidden_files(w.dir), std::vector<std::string>());
}
