// SPDX-License-Identifier: MIT
// The command-line tool as a person uses it: one table of (command line,
// files, exit status, fragments of stdout and stderr), then the cases that
// need a second process or a broken output.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "tests/support/files.h"

namespace {

struct Result {
    int status;
    std::string out, err;
};

// Runs the tool through the shell with env assignments in front and stdout
// sent to outTarget (a file of the temp dir unless given).
Result run(std::string const& env, std::string const& args, std::string const& stdinText = "",
           std::string const& outTarget = "") {
    z2test::TempDir tmp;
    std::string in = tmp / "in", o = outTarget.empty() ? tmp / "out" : outTarget, e = tmp / "err";
    z2test::write_file(in, stdinText);
    std::string emu = ZERIR2_TEST_EMULATOR;
    std::string cmd = "env " + env + " " + (emu.empty() ? "" : emu + " ") + "'" + ZERIR2_TOOL_PATH + "' " + args +
                      " <'" + in + "' >'" + o + "' 2>'" + e + "'";
    int st = std::system(cmd.c_str());
    Result r{st == -1 || !WIFEXITED(st) ? -1 : WEXITSTATUS(st), outTarget.empty() ? z2test::read_file(o) : "",
             z2test::read_file(e)};
    return r;
}

std::string replace_all(std::string s, std::string const& from, std::string const& to) {
    for (size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) s.replace(at, from.size(), to);
    return s;
}

// A user with the sample profile and its two style files, the style list
// pointing at this user's directory.
struct SampleUser {
    z2test::TestUser user;
    SampleUser() {
        std::string prof = replace_all(z2test::read_file(ZERIR2_EXAMPLES_DIR "/zerir2.ven"),
                                       ",/var/opt/zerir2/users/demo/", "," + user.dir + "/");
        z2test::write_file(user.profile(), prof);
        z2test::write_file(user / "standard.sty", z2test::read_file(ZERIR2_EXAMPLES_DIR "/style1.sty"));
        z2test::write_file(user / "kana.sty", z2test::read_file(ZERIR2_EXAMPLES_DIR "/style2.sty"));
    }
    // $P the profile, $U the user's directory, $R the users root.
    std::string expand(std::string s) const {
        s = replace_all(s, "$P", user.profile());
        s = replace_all(s, "$U", user.dir);
        return replace_all(s, "$R", ZERIR2_USERS_ROOT);
    }
};

enum FileSetup { kPlain, kMinimal, kSymlink, kOtherOwner, kNoRead, kReadOnlySty, kDirSty, kFifoSty, kHuge };

void prepare(SampleUser& u, FileSetup setup) {
    std::string const p = u.user.profile();
    switch (setup) {
        case kPlain: break;
        case kMinimal: z2test::write_file(p, z2test::read_file(ZERIR2_EXAMPLES_DIR "/minimal.ven")); break;
        case kSymlink: ASSERT_EQ(::symlink(p.c_str(), (u.user / "link.ven").c_str()), 0); break;
        case kOtherOwner: ASSERT_EQ(::chown(p.c_str(), 1, 1), 0); break;
        case kNoRead: ASSERT_EQ(::chmod(p.c_str(), 0200), 0); break;
        case kReadOnlySty: ASSERT_EQ(::chmod((u.user / "kana.sty").c_str(), 0400), 0); break;
        case kDirSty: z2test::mkdirs(u.user / "d.sty"); break;
        case kFifoSty: ASSERT_EQ(::mkfifo((u.user / "f.sty").c_str(), 0600), 0); break;
        case kHuge: ASSERT_EQ(::truncate(p.c_str(), 5 << 20), 0); break;  // sparse, over the 4 MiB limit
    }
}

struct Case {
    FileSetup setup;
    char const* args;
    char const* stdinText;
    int status;
    char const* out;  // fragment of stdout ("" for any)
    char const* err;  // fragment of stderr ("" for any)
};

// Settings that need root (another owner) are skipped without it.
Case const kCases[] = {
    // No invented output: the record's texts, unset settings as unset.
    {kPlain, "show $P", "", 0, "漢字入力モード=Ｒ漢\n", ""},
    {kPlain, "show $P 入力・変換 エラー音", "", 0, "鳴らす\n", ""},
    {kMinimal, "show $P", "", 0, ";入力文字数: unset\n", ""},
    {kMinimal, "show $P 入力・変換 入力文字数", "", 1, "", "入力文字数: unset"},
    {kPlain, "show $P 入力・変換 無い鍵", "", 1, "", "no such setting"},
    // Paths: which rule, and which root.
    {kPlain, "show $U/foo.txt", "", 1, "", "must end in \".ven\""},
    {kPlain, "show $U/standard.sty", "", 1, "", "not a main profile"},
    {kPlain, "show $U", "", 1, "", "not a main profile"},
    {kPlain, "show demo/zerir2.ven", "", 1, "", "not an absolute path: a user's files are given as $R<user>/"},
    {kPlain, "show /tmp/zerir2.ven", "", 1, "", "not under the users root $R"},
    {kPlain, "show $U/../x/zerir2.ven", "", 1, "", "\"..\" components are refused"},
    {kPlain, "get $U/notes.txt 環境 IDCode", "", 1, "", "must end in \".ven\" or \".sty\""},
    // Files the library refuses, with the reason.
    {kPlain, "show $U/missing.ven", "", 1, "", "missing.ven: no such file"},
    {kSymlink, "show $U/link.ven", "", 1, "", "a symbolic link"},
    {kOtherOwner, "show $P", "", 1, "", "owned by "},
    {kOtherOwner, "style $P", "", 1, "", "but the files must belong to the caller"},
    {kNoRead, "record $P", "", 1, "", "the owner has no read permission"},
    {kReadOnlySty, "set $U/kana.sty 環境 x=1", "", 1, "", "no write permission"},
    {kDirSty, "get $U/d.sty 環境 IDCode", "", 1, "", "a directory, not a regular file"},
    {kFifoSty, "get $U/f.sty 環境 IDCode", "", 1, "", "a fifo, not a regular file"},
    {kPlain, "get $U/nope.sty 環境 IDCode", "", 1, "", "nope.sty: no such file"},
    {kHuge, "show $P", "", 1, "", "too large: 5242880 bytes, the limit is 4194304"},
    {kHuge, "check $P", "", 3, "", "too large"},
    {kPlain, "copy-style $U/mine.sty $U/gone.sty \"\"", "", 1, "", "gone.sty: no such file"},
    // get, list, set.
    {kPlain, "get $P 入力・変換 エラー音 無い鍵", "", 0, "エラー音=鳴らす\n無い鍵=\n", ""},
    {kPlain, "get $P 無い節 x", "", 1, "", "no section [無い節]"},
    {kPlain, "list $U/nope.sty 環境", "", 1, "", "no such file"},
    {kPlain, "list $P 環境", "", 0, "IDCode=ZERIR2\n", ""},
    {kPlain, "set $P 入力・変換 \"$(printf '\\377')=x\"", "", 1, "", "not UTF-8"},
    {kPlain, "set $P 入力・変換 \"x=$(printf '\\300\\257')\"", "", 1, "", "not UTF-8"},
    {kPlain, "set $P 'a]b' x=1", "", 1, "", "cannot hold \"]\""},
    {kPlain, "set $P 入力・変換 ';x=1'", "", 1, "", "cannot start with \";\""},
    {kPlain, "set $P 入力・変換 \"x=$(printf 'a\\nb')\"", "", 1, "", "line break"},
    {kPlain, "set $P 環境 IDCode=HACKED", "", 1, "", "stamped by every commit"},
    {kPlain, "set $P 辞書セット1 学習=しない", "", 1, "", "unknown section: the engine ignores it; did you mean [辞書セット１]?"},
    {kPlain, "set $P 入力・変換 エラー音=うるさい", "", 1, "", "nothing written (--force writes it anyway)"},
    {kPlain, "set $P 入力・変換 エラー音色=高い", "", 1, "", "unknown key"},
    {kPlain, "set --force $P 入力・変換 エラー音色=高い", "", 0, "", "warning: [入力・変換] エラー音色: unknown key"},
    // Unix conventions.
    {kPlain, "--version", "", 0, "zerir2-settings (zerir2settings) ", ""},
    {kPlain, "--help show", "", 0, "usage: zerir2-settings show ", ""},
    {kPlain, "help get", "", 0, "usage: zerir2-settings get ", ""},
    {kPlain, "--help nothing", "", 2, "", "unknown command 'nothing'"},
    {kPlain, "convert --from utf8 --to utf8", "\xc0\xaf", 1, "", "overlong"},
    {kPlain, "convert --from utf8 --to utf8", "\xed\xa0\x80", 1, "", "encoded surrogate"},
    {kPlain, "convert --from utf8 --to utf8 --lenient", "\xc0\xaf", 0, "/", ""},
    {kPlain, "convert --from utf8 --to eucjp --replacement '😀'", "a", 2, "", "cannot be written as eucjp"},
    {kPlain, "convert --from utf8 --to eucjp -", "漢", 0, "\xb4\xc1", ""},
    {kPlain, "ini -", "[a]\r\nk=v\r\n", 0, "[a]\nk=v", ""},
};

class Tool : public ::testing::TestWithParam<Case> {};

TEST_P(Tool, ExitStatusAndMessages) {
    Case const& c = GetParam();
    if (c.setup == kOtherOwner && ::geteuid() != 0) GTEST_SKIP() << "making a file of another owner needs root";
    if (c.setup == kNoRead && ::geteuid() != 0) GTEST_SKIP() << "root reads a 0200 file; the check is the library's";
    SampleUser u;
    prepare(u, c.setup);
    std::string before = z2test::read_file(u.user.profile());
    Result r = run("LC_ALL=C", u.expand(c.args), c.stdinText);
    EXPECT_EQ(r.status, c.status) << c.args << "\nstdout: " << r.out << "\nstderr: " << r.err;
    EXPECT_NE(r.out.find(u.expand(c.out)), std::string::npos) << c.args << "\nstdout: " << r.out;
    EXPECT_NE(r.err.find(u.expand(c.err)), std::string::npos) << c.args << "\nstderr: " << r.err;
    // A failure changes nothing.
    if (c.status != 0) {
        EXPECT_EQ(z2test::read_file(u.user.profile()), before) << c.args;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Tool, ::testing::ValuesIn(kCases));

// Every command that prints, --help and --version included, fails when its
// output cannot be written.
TEST(ToolOutput, FailedWritesToStdoutGiveExitOne) {
    SampleUser u;
    for (char const* args : {"show $P", "show $P 入力・変換 エラー音", "record $P", "style $P", "palette $P",
                             "get $P 入力・変換 エラー音", "list $P 環境", "--help", "--help show", "show --help",
                             "--version", "convert --from utf8 --to utf8", "ini $P", "schema", "show --json $P",
                             "check --dir /nonexistent $P"}) {
        Result r = run("LC_ALL=C", u.expand(args), "abc", "/dev/full");
        EXPECT_EQ(r.status, 1) << args << ": " << r.err;
        EXPECT_NE(r.err.find("standard output"), std::string::npos) << args << ": " << r.err;
    }
}

// Control bytes in a value reach a terminal escaped, a pipe unchanged.
TEST(ToolOutput, ControlBytesAreEscapedOnATerminal) {
    if (::access("/usr/bin/script", X_OK) != 0) GTEST_SKIP() << "script(1) makes the terminal";
    SampleUser u;
    z2test::write_file(u.user.profile(), replace_all(z2test::read_file(u.user.profile()), "全角記号指定文字=＃＄％",
                                                     "全角記号指定文字=＃\x1b]0;x\x07％"));
    Result piped = run("LC_ALL=C", u.expand("get $P 入力・変換 全角記号指定文字"));
    EXPECT_EQ(piped.out, "全角記号指定文字=＃\x1b]0;x\x07％\n");
    z2test::TempDir tmp;
    std::string cmd = "LC_ALL=C /usr/bin/script -qec \"" + std::string(ZERIR2_TEST_EMULATOR) + " " + ZERIR2_TOOL_PATH +
                      u.expand(" get $P 入力・変換 全角記号指定文字") + "\" /dev/null </dev/null >'" + tmp / "out" + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::string tty = z2test::read_file(tmp / "out");
    EXPECT_NE(tty.find("全角記号指定文字=＃\\x1b]0;x\\x07％"), std::string::npos) << tty;
    EXPECT_EQ(tty.find('\x1b'), std::string::npos);
}

TEST(ToolOutput, SetStoresWhatGetReads) {
    SampleUser u;
    Result r = run("LC_ALL=C", u.expand("set $P 入力・変換 エラー音=鳴らさない"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(z2test::read_file(u.user.profile()).find("\nエラー音=鳴らさない\n"), std::string::npos);
    r = run("LC_ALL=C", u.expand("show $P 入力・変換 エラー音"));
    EXPECT_EQ(r.out, "鳴らさない\n");
}

// A profile held under an exclusive lock by another process: the tool gives
// up as the library does and names the lock.
TEST(ToolLock, SlowLockedProfileNamesTheLock) {
    SampleUser u;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    if (child == 0) {
        int fd = ::open(u.user.profile().c_str(), O_RDWR);
        struct flock fl = {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        char ok = ::fcntl(fd, F_SETLK, &fl) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        ::sleep(60);
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    Result r = run("LC_ALL=C", u.expand("show $P"));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("locked by another process"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(ToolEditing, InitUnsetAndEditThroughTheLibrary) {
    SampleUser u;
    std::string const p = u.user.profile();
    // unset: the line is gone and the key reads as missing; an unknown key writes nothing.
    Result r = run("LC_ALL=C", u.expand("unset $P 入力・変換 エラー音 エラー音"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(run("LC_ALL=C", u.expand("show $P 入力・変換 エラー音")).err.find("unset"), std::string::npos);
    std::string const afterUnset = z2test::read_file(p);
    EXPECT_EQ(afterUnset.find("\nエラー音="), std::string::npos) << afterUnset;
    EXPECT_EQ(run("LC_ALL=C", u.expand("unset $P 入力・変換 無い")).status, 1);
    EXPECT_EQ(run("LC_ALL=C", u.expand("unset $P 環境 IDCode")).status, 1);
    EXPECT_EQ(z2test::read_file(p), afterUnset);

    // edit: the editor changes the copy while another process changes the file.
    z2test::TempDir tmp;
    std::string const editor = tmp / "editor.sh";
    z2test::write_file(editor,
                       "#!/bin/sh\n"
                       "sed -i -e 's/^入力支援=.*/入力支援=しない/' -e '/^句読点モード=/d' -e '/^漢字入力モード=/d' \"$1\"\n"
                       ZERIR2_TEST_EMULATOR " '" ZERIR2_TOOL_PATH "' set " + p +
                           " 入力・変換 エラー音=鳴らさない 漢字入力モード=カナ漢\n",
                       0700);
    r = run("LC_ALL=C EDITOR=" + editor, u.expand("edit $P"));
    ASSERT_EQ(r.status, 0) << r.err;
    std::string const edited = z2test::read_file(p);
    EXPECT_NE(edited.find("\n入力支援=しない\n"), std::string::npos);
    EXPECT_EQ(edited.find("\n句読点モード="), std::string::npos) << "a deleted key stayed";
    EXPECT_NE(edited.find("\nエラー音=鳴らさない\n"), std::string::npos) << "the concurrent change was lost";
    EXPECT_NE(edited.find("\n漢字入力モード=カナ漢\n"), std::string::npos) << "a deletion beat a concurrent change";

    // A copy with a finding: "q" leaves the file, "s" saves it anyway.
    z2test::write_file(editor, "#!/bin/sh\nsed -i 's/^入力支援=.*/入力支援=たぶん/' \"$1\"\n", 0700);
    r = run("LC_ALL=C EDITOR=" + editor, u.expand("edit $P"), "q\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("入力支援: value \"たぶん\" is not taken"), std::string::npos) << r.err;
    EXPECT_EQ(z2test::read_file(p), edited);
    r = run("LC_ALL=C EDITOR=" + editor, u.expand("edit $P"), "e\ns\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(z2test::read_file(p).find("\n入力支援=たぶん\n"), std::string::npos);

    // init: the user's directory and a header-only profile, never overwritten.
    if (::geteuid() != 0) GTEST_SKIP() << "init for another user needs root";
    std::string const dir = std::string(ZERIR2_USERS_ROOT) + "nobody";
    z2test::remove_tree(dir);
    r = run("LC_ALL=C", "init nobody");
    ASSERT_EQ(r.status, 0) << r.err;
    struct stat st;
    ASSERT_EQ(::stat((dir + "/zerir2.ven").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_NE(st.st_uid, 0u);
    EXPECT_EQ(z2test::read_file(dir + "/zerir2.ven"), "[環境]\nIDCode=ZERIR2\nVersion=2.00\nRevision=1.00\n");
    r = run("LC_ALL=C", "init nobody");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("never overwrites"), std::string::npos);
    z2test::remove_tree(dir);
}

// The messages in Japanese: one command per class of message, under
// ja_JP.UTF-8 with the build tree's translations.
TEST(ToolJapanese, MessagesFollowTheLocale) {
    if (!std::setlocale(LC_ALL, "ja_JP.UTF-8")) GTEST_SKIP() << "no ja_JP.UTF-8 locale (scripts/install-deps makes it)";
    std::setlocale(LC_ALL, "C");
    struct {
        FileSetup setup;
        char const* args;
        int status;
        char const* out;
        char const* err;
    } const cases[] = {
        {kPlain, "--help", 0, "使い方: zerir2-settings COMMAND", ""},
        {kPlain, "--help check", 0, "エンジンが無視する行", ""},
        {kPlain, "show $U/foo.txt", 1, "", "メインプロファイルではありません"},
        {kPlain, "show demo/zerir2.ven", 1, "", "絶対パスではありません"},
        {kPlain, "show $U/missing.ven", 1, "", "そのようなファイルはありません"},
        {kSymlink, "show $U/link.ven", 1, "", "シンボリックリンクです"},
        {kReadOnlySty, "set $U/kana.sty 環境 x=1", 1, "", "所有者に書き込み権限がありません"},
        {kPlain, "set $P 辞書セット1 学習=しない", 1, "", "不明なセクションです: エンジンはこれを無視します。[辞書セット１] のことですか？"},
        {kPlain, "set $P 環境 IDCode=X", 1, "", "ヘッダーはコミットのたびに書き込まれる"},
        {kMinimal, "show $P 入力・変換 入力文字数", 1, "", "未設定です"},
        {kPlain, "get $P 無い節 x", 1, "", "セクション [無い節] がありません"},
        {kPlain, "schema 無い節", 1, "", "そのようなセクションはありません"},
        {kPlain, "nothing", 2, "", "不明なコマンド 'nothing'"},
    };
    for (auto const& c : cases) {
        SampleUser u;
        prepare(u, c.setup);
        Result r = run("LC_ALL=ja_JP.UTF-8 TEXTDOMAINDIR=" ZERIR2_TEST_LOCALEDIR, u.expand(c.args));
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << c.args << "\n" << r.out;
        EXPECT_NE(r.err.find(u.expand(c.err)), std::string::npos) << c.args << "\n" << r.err;
    }
    // The check findings, and English where no translation is asked for.
    SampleUser u;
    z2test::write_file(u.user.profile(), replace_all(z2test::read_file(u.user.profile()), "エラー音=鳴らす", "エラー音=x"));
    Result r = run("LC_ALL=ja_JP.UTF-8 TEXTDOMAINDIR=" ZERIR2_TEST_LOCALEDIR, u.expand("check $P"));
    EXPECT_NE(r.out.find("エラー音: 値「x」は採用されません（期待される値: 鳴らさない|鳴らす）"), std::string::npos) << r.out;
    r = run("LC_ALL=C TEXTDOMAINDIR=" ZERIR2_TEST_LOCALEDIR, u.expand("check $P"));
    EXPECT_NE(r.out.find("value \"x\" is not taken"), std::string::npos) << r.out;
}

// The README's tour and the manual page's examples run as written against
// the demo's files (user "demo", the default style), placed under this test
// build's root as scripts/demo places them under its own.
TEST(ToolDocs, ReadmeAndManualExamplesRunAsWritten) {
    if (::geteuid() != 0) GTEST_SKIP() << "copy-style in the examples handles files as root's";
    if (std::strlen(ZERIR2_TEST_EMULATOR) > 0) GTEST_SKIP() << "the examples run the tool directly";
    std::string const root = ZERIR2_ROOT_PREFIX, user = std::string(ZERIR2_USERS_ROOT) + "demo";
    std::string const src = ZERIR2_EXAMPLES_DIR "/..";
    std::string const tool = ZERIR2_TOOL_PATH, toolDir = tool.substr(0, tool.rfind('/'));
    auto place = [&] {
        z2test::remove_tree(user);
        z2test::mkdirs(user);
        z2test::mkdirs(root + "/opt/zerir2/share/original");
        z2test::write_file(user + "/zerir2.ven", replace_all(z2test::read_file(ZERIR2_EXAMPLES_DIR "/zerir2.ven"),
                                                             ",/var/opt/zerir2/users/", "," + root + "/var/opt/zerir2/users/"));
        z2test::write_file(user + "/standard.sty", z2test::read_file(ZERIR2_EXAMPLES_DIR "/style1.sty"));
        z2test::write_file(user + "/kana.sty", z2test::read_file(ZERIR2_EXAMPLES_DIR "/style2.sty"));
        z2test::write_file(ZERIR2_DEFAULT_STYLE, z2test::read_file(ZERIR2_EXAMPLES_DIR "/orvi17.sty"));
    };
    // The README's sh block; its first line sets R and PATH for the demo's tree.
    std::string readme = z2test::read_file(src + "/README.md");
    size_t a = readme.find("```sh\n"), b = readme.find("```\n", a + 6);
    ASSERT_NE(a, std::string::npos);
    std::string tour = readme.substr(a + 6, b - a - 6);
    tour = "R=" + root + "; PATH=" + toolDir + ":$PATH\n" + tour.substr(tour.find('\n') + 1);
    // The manual page's example block after "R=/path/printed/by/the/demo".
    std::string man = z2test::read_file(src + "/tools/zerir2-settings.1");
    size_t m = man.find("R=/path/printed/by/the/demo\n");
    ASSERT_NE(m, std::string::npos);
    std::string ex = man.substr(m, man.find(".EE", m) - m);
    ex = replace_all(replace_all(replace_all(ex, "\\-", "-"), "\\(aq", "'"), "\\en", "\\n");
    ex = "PATH=" + toolDir + ":$PATH\nR=" + root + ex.substr(ex.find('\n'));
    for (std::string const* script : {&tour, &ex}) {
        place();
        z2test::TempDir tmp;
        z2test::write_file(tmp / "s.sh", *script);
        std::string cmd = "cd '" + tmp.path + "' && LC_ALL=C bash -e s.sh >out 2>err";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << *script << "\n" << z2test::read_file(tmp / "err");
    }
    z2test::remove_tree(user);
    ::unlink(ZERIR2_DEFAULT_STYLE);
}

// The bash completion, sourced in bash, asked as bash asks it; or the zsh
// one, run with stand-ins for zsh's completion builtins.
std::string complete(std::string const& line, bool zsh = false) {
    z2test::TempDir tmp;
    std::string script = tmp / "c.sh";
    z2test::write_file(script, std::string("source '" ZERIR2_EXAMPLES_DIR "/../tools/completion/zerir2-settings.bash'\n"
                                           "read -r -a COMP_WORDS <<<\"$1\"\n"
                                           "[ \"${1: -1}\" = ' ' ] && COMP_WORDS+=('')\n"
                                           "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
                                           "_zerir2_settings\nprintf '%s\\n' \"${COMPREPLY[@]}\"\n"));
    if (zsh)
        script = "-f '" ZERIR2_EXAMPLES_DIR "/../tests/support/zsh_completion.zsh'";
    std::string out = tmp / "out";
    std::string cmd = std::string("LC_ALL=C.UTF-8 ") + (zsh ? "zsh " : "bash '") + script + (zsh ? " \"" : "' \"") +
                      ZERIR2_TOOL_PATH " " + line + "\" " +
                      (zsh ? "'" ZERIR2_EXAMPLES_DIR "/../tools/completion/_zerir2-settings'" : "") + " >'" + out +
                      "' 2>&1";
    if (std::system(cmd.c_str()) != 0) return "(failed)";
    return z2test::read_file(out);
}

class ToolCompletion : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(Shells, ToolCompletion, ::testing::Values(false, true),
                         [](auto const& info) { return info.param ? "zsh" : "bash"; });

TEST_P(ToolCompletion, CommandsOptionsSectionsAndKeys) {
    if (std::strlen(ZERIR2_TEST_EMULATOR) > 0) GTEST_SKIP() << "the completion runs the tool itself";
    bool const zsh = GetParam();
    if (zsh && std::system("command -v zsh >/dev/null 2>&1") != 0) GTEST_SKIP() << "zsh is not installed";
    struct {
        char const* line;
        char const* want;
    } const cases[] = {
        {"sh", "show\n"},
        {"", "copy-style\n"},
        {"--v", "--version\n"},
        {"set /p 辞書セット", "辞書セット０\n"},
        {"set /p 入力・変換 漢字", "漢字入力モード=\n"},
        {"get /p 辞書セット１ 学", "学習\n"},
        {"set /p 入力・変換 半角全角対応(", "半角全角対応(`:‘)=\n"},
        {"schema ＯＲＶＩ", "ＯＲＶＩパレット\n"},
        {"convert --from u", "utf16\n"},
        {"check --d", "--dir\n"},
        {"set --f", "--force\n"},
    };
    for (auto const& c : cases) {
        std::string got = complete(c.line, zsh);
        EXPECT_NE(got.find(c.want), std::string::npos) << c.line << " -> " << got;
    }
    EXPECT_EQ(complete("convert --from u", zsh).find("eucjp"), std::string::npos);
}

// A profile with one planted finding of each kind that check reports, the
// fragment each must give, and the clean sample beside it.
struct Plant {
    char const* file;  // "main", "standard.sty" or "kana.sty"
    char const* from;  // text replaced ("" appends)
    char const* to;
    char const* finding;
};

Plant const kPlants[] = {
    {"main", "[辞書セット２]", "[辞書セット2]", "[辞書セット2] unknown section: the engine ignores it; did you mean [辞書セット２]?"},
    {"main", "エラー音=鳴らす\n", "エラー音=鳴らす\nエラー音色=高い\n", "エラー音色: unknown key"},
    {"main", "エラー音=鳴らす", "エラー音=うるさい", "エラー音: value \"うるさい\" is not taken (expected 鳴らさない|鳴らす)"},
    {"main", "入力文字数=100", "入力文字数=-5", "入力文字数: value \"-5\" is read as 0; the engine uses: 0"},
    {"main", "推測変換候補の表示頻度=1", "推測変換候補の表示頻度=7", "value \"7\" is not taken (expected 0..2)"},
    {"main", "句読点モード=1100", "句読点モード=11x0", "句読点モード: value \"11x0\" is not taken (expected 4 digits"},
    {"main", "パレット位置=820,640", "パレット位置=820,abc", "パレット位置: not a number: \"abc\""},
    {"main", "システム辞書１=ON,1,main.dic", "システム辞書１=ON,1,gone.dic", "gone.dic does not exist"},
    {"main", "システム辞書１=ON,1,main.dic", "システム辞書１=on,1,main.dic",
     "switch \"on\" is neither ON nor OFF; the engine uses: OFF"},
    {"main", "[ＯＲＶＩパレット]", "スタイル３=古い,$U/gone.sty\n[ＯＲＶＩパレット]", "style file $U/gone.sty: no such file"},
    {"main", "[ＯＲＶＩパレット]", "スタイル４=外,/tmp/elsewhere.sty\n[ＯＲＶＩパレット]",
     "style file /tmp/elsewhere.sty: neither in the user's directory $U/ nor under the shared tree"},
    {"main", "現在のスタイル=標準スタイル", "現在のスタイル=無いスタイル", "current style \"無いスタイル\" is not in the style list"},
    {"kana.sty", "IDCode=DEVEVIRIZ17", "IDCode=ZERIR2", "not a style file's identifier"},
    {"standard.sty", "キー=0000", "キー=00000", "hex digits: key data is 128 digits"},
    {"main", "", "[入力・変換]\n入力支援=しない\n", "section repeated: its keys join the section of line"},
    {"main", "入力支援=する\n", "入力支援=する\n入力支援=しない\n", "入力支援: key repeated: this value replaces the one of line"},
    {"main", "入力支援=する\n", "入力支援=する\n長い=LONG\n", "line longer than 16399 bytes"},
    {"main", "入力支援=する\n", "入力支援=する\n壊れた=\xff\n", "text that is not UTF-8"},
    {"main", "入力支援=する\n", "入力支援=する\n零=aNULb\n", "a NUL byte"},
    {"main", "Version=2.00", "Version=1.00", "[環境] Version: header value \"1.00\" is overwritten by the next commit"},
};

std::string planted(std::string text, Plant const& p, SampleUser const& u) {
    std::string to = replace_all(u.expand(p.to), "LONG", std::string(17000, 'x'));
    to = replace_all(to, "NUL", std::string(1, '\0'));
    if (!*p.from) return text + to;
    size_t at = text.find(p.from);
    return at == std::string::npos ? text : text.replace(at, std::strlen(p.from), to);
}

TEST(ToolCheck, OneFindingOfEachKindAndACleanSample) {
    SampleUser u;
    z2test::TempDir dics;
    z2test::write_file(dics / "main.dic", "");
    for (char const* d : {"business.abr", "business.dic", "chimei.dic", "eiji.dic", "houritsu.dic", "jinmei.dic",
                          "kao.dic", "katakana.dic", "keizai.dic", "plain.dic", "system.abr", "user.abr", "user1.dic"})
        z2test::write_file(dics / d, "");
    Result clean = run("LC_ALL=C", u.expand("check --dir " + dics.path + " $P"));
    EXPECT_EQ(clean.status, 0) << clean.out << clean.err;
    EXPECT_EQ(clean.out, "");
    for (Plant const& p : kPlants) {
        std::string path = std::string(p.file) == "main" ? u.user.profile() : u.user / p.file;
        std::string before = z2test::read_file(path);
        std::string text = planted(before, p, u);
        ASSERT_NE(text, before) << p.finding;
        z2test::write_file(path, text);
        Result r = run("LC_ALL=C", u.expand("check --dir " + dics.path + " $P"));
        EXPECT_EQ(r.status, 1) << p.finding << "\n" << r.err;
        EXPECT_NE(r.out.find(u.expand(p.finding)), std::string::npos) << p.finding << "\n" << r.out;
        // file:line: prefix names the planted file.
        EXPECT_NE(r.out.find(path + ":"), std::string::npos) << r.out;
        z2test::write_file(path, before);
    }
    EXPECT_EQ(run("LC_ALL=C", u.expand("check $U/missing.ven")).status, 3);
}

// The JSON forms carry the same fields as the text: parsed member by member.
std::vector<std::map<std::string, std::string>> parse_objects(std::string const& json) {
    std::vector<std::map<std::string, std::string>> out;
    size_t i = json.find('[');
    auto str = [&](size_t* at) {
        std::string v;
        for (++*at; json[*at] != '"'; ++*at) {
            if (json[*at] == '\\') {
                ++*at;
                v += json[*at] == 'u' ? static_cast<char>(std::stoi(json.substr(*at + 1, 4), nullptr, 16)) : json[*at];
                if (json[*at] == 'u') *at += 4;
            } else {
                v += json[*at];
            }
        }
        ++*at;
        return v;
    };
    while (i != std::string::npos && (i = json.find('{', i)) != std::string::npos) {
        std::map<std::string, std::string> obj;
        ++i;
        while (json[i] != '}') {
            std::string name = str(&i);
            ++i;  // ':'
            if (json[i] == '"') {
                obj[name] = str(&i);
            } else {
                size_t end = json.find_first_of(",}", i);
                obj[name] = json.substr(i, end - i);
                i = end;
            }
            if (json[i] == ',') ++i;
        }
        out.push_back(obj);
        ++i;
    }
    return out;
}

TEST(ToolJson, CheckAndSchemaMatchTheirText) {
    SampleUser u;
    std::string text = z2test::read_file(u.user.profile());
    z2test::write_file(u.user.profile(), replace_all(replace_all(text, "エラー音=鳴らす", "エラー音=\"x\""),
                                                     "[辞書セット２]", "[辞書セット2]"));
    Result t = run("LC_ALL=C", u.expand("check $P")), j = run("LC_ALL=C", u.expand("check --json $P"));
    auto objs = parse_objects(j.out);
    ASSERT_EQ(objs.size(), 2u) << j.out;
    for (auto& o : objs) {
        std::string line = o["file"] + ":" + o["line"] + ": [" + o["section"] + "] " +
                           (o["key"].empty() ? "" : o["key"] + ": ") + o["what"] +
                           (o["uses"] == "null" ? "" : "; the engine uses: " + o["uses"]) + "\n";
        EXPECT_NE(t.out.find(line), std::string::npos) << line << "\n" << t.out;
    }
    z2test::write_file(u.user.profile(), replace_all(text, "入力文字数=100\n", ""));
    Result vt = run("LC_ALL=C", u.expand("show $P")), vj = run("LC_ALL=C", u.expand("show --json $P"));
    auto settings = parse_objects(vj.out);
    ASSERT_GT(settings.size(), 300u);
    int unset = 0;
    for (auto& o : settings) {
        std::string line = o["value"] == "null" ? ";" + o["key"] + ": unset\n" : o["key"] + "=" + o["value"] + "\n";
        unset += o["value"] == "null";
        EXPECT_NE(vt.out.find(line), std::string::npos) << line;
    }
    EXPECT_GE(unset, 1);
    Result st = run("LC_ALL=C", "schema 入力・変換"), sj = run("LC_ALL=C", "schema --json 入力・変換");
    auto rows = parse_objects(sj.out);
    ASSERT_GT(rows.size(), 100u);
    for (auto& o : rows) {
        EXPECT_EQ(o["section"], "入力・変換");
        std::string line = o["key"] + "\t" + o["type"] + "\t" + o["values"] + "\tdefault: " + o["default"] + "\n";
        EXPECT_NE(st.out.find(line), std::string::npos) << line;
    }
}

}  // namespace
