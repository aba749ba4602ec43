// The README's recipe for several machines: GNU parallel sends each file of a tree over SSH to a
// host (an sshd of our own on 127.0.0.1), quillmere-cli converts it there, the output comes back.
#include "../../support/tools.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

// A port nobody listens on just now: the one the kernel gives a socket bound to port 0.
int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

// sshd in the foreground with its output in a file, stopped when the guard goes (or the test
// process, should it crash).
class SshServer {
public:
    SshServer(const std::string& config, const std::string& log) {
        std::string args[] = {"/usr/sbin/sshd", "-D", "-f", config, "-e"};
        char* argv[] = {args[0].data(), args[1].data(), args[2].data(),
                        args[3].data(), args[4].data(), nullptr};
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::dup2(out, 1);
            ::dup2(out, 2);
            ::execv(argv[0], argv);
            ::_exit(127);
        }
        ::close(out);
    }
    ~SshServer() {
        if (Running() && ::kill(pid_, SIGTERM) == 0) ::waitpid(pid_, nullptr, 0);
    }
    SshServer(const SshServer&) = delete;
    SshServer& operator=(const SshServer&) = delete;
    bool Running() { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

private:
    pid_t pid_ = -1;
};

// Tries `ssh ... true` (each try at most 20 s) until it logs in, sshd has quit or 30 s have passed.
bool LoggedIn(SshServer& server, const std::string& ssh) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (server.Running() && std::chrono::steady_clock::now() < end) {
        if (RunCommand("timeout 20 " + ssh + " 127.0.0.1 true 2>/dev/null").status == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

} // namespace

TEST(CliParallelSsh, TreeConvertsOnAnSshHostAndComesBack) {
    for (const char* tool :
         {"/usr/sbin/sshd", "ssh", "ssh-keygen", "rsync", "parallel", "sox", "/usr/bin/python3"})
        if (!HaveTool(tool)) GTEST_SKIP() << tool << " missing (scripts/setup.sh --tests)";
    std::error_code denied; // sshd run by root wants its privilege separation folder
    if (::geteuid() == 0 && !fs::create_directories("/run/sshd", denied) && denied)
        GTEST_SKIP() << "/run/sshd cannot be made: " << denied.message();
    TempDir dir;
    for (const char* key : {"host_key", "user_key"})
        Tool("ssh-keygen -q -t ed25519 -N '' -f " + Quote(dir / key));
    fs::copy_file(dir / "user_key.pub", dir / "authorized_keys");
    std::unique_ptr<SshServer> server;
    std::string ssh;
    for (int attempt = 0; attempt < 3 && !server; ++attempt) { // another may take the free port
        const std::string port = std::to_string(FreePort());
        const std::string config = "Port " + port + "\nListenAddress 127.0.0.1\nHostKey " +
                                   (dir / "host_key") + "\nAuthorizedKeysFile " +
                                   (dir / "authorized_keys") + "\nPidFile " + (dir / "sshd.pid") +
                                   "\nUsePAM no\nStrictModes no\nPasswordAuthentication no\n";
        WriteFileBytes(dir / "sshd_config", {config.begin(), config.end()});
        ssh = "ssh -F /dev/null -p " + port + " -i " + Quote(dir / "user_key") +
              " -o BatchMode=yes -o StrictHostKeyChecking=no -o UserKnownHostsFile=" +
              Quote(dir / "known_hosts");
        server = std::make_unique<SshServer>(dir / "sshd_config", dir / "sshd.log");
        if (!LoggedIn(*server, ssh)) server.reset();
    }
    const auto log = ReadFileBytes(dir / "sshd.log");
    ASSERT_TRUE(server) << "no SSH login on 127.0.0.1:\n" << std::string(log.begin(), log.end());

    const std::vector<std::string> names = {"tree/a/one.wav", "tree/a/two words.wav",
                                            "tree/b/c/don't $top.wav"};
    for (size_t i = 0; i < names.size(); ++i) {
        fs::create_directories(fs::path(dir / names[i]).parent_path());
        MakeWav(dir / names[i], 0.3 + 0.1 * static_cast<double>(i));
    }
    // HOME in the folder: parallel's own files stay there, its citation notice with them. The
    // host works in a folder named here rather than "...", so the login's home stays untouched.
    // RSYNC_OLD_ARGS: parallel quotes returned names for the host's shell, which rsync 3.2.4 and
    // later no longer passes through.
    const std::string remote = dir / "remote";
    const auto run = RunCommand(
        "cd " + Quote(dir.Path()) + " && find tree -name '*.wav' | HOME=" + Quote(dir.Path()) +
        " RSYNC_OLD_ARGS=1 parallel --will-cite --ssh " + Quote(ssh) +
        " -S 127.0.0.1 --transferfile {} --return {.}.flac --cleanup --workdir " + Quote(remote) +
        " " + Quote(Cli()) + " --to flac --json {}");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_FALSE(fs::exists(remote)) << "the host's working folder is left";

    const auto samples = [](const std::string& path) {
        return RunCommand("sox " + Quote(path) + " -t s16 -L -");
    };
    for (const auto& name : names) {
        const auto output = samples(dir / fs::path(name).replace_extension(".flac").string());
        EXPECT_TRUE(output.status == 0 && output.output == samples(dir / name).output) << name;
        EXPECT_GT(output.output.size(), 40000u) << name;
    }
    // Every line one JSON object, the paths as the host saw them below its working folder.
    WriteFileBytes(dir / "results", {run.output.begin(), run.output.end()});
    const std::string script =
        "import json,os,sys\n"
        "seen = []\n"
        "for line in open(sys.argv[1]):\n"
        "    o = json.loads(line)\n"
        "    seen.append('summary %d %d' % (o['converted'], o['failed']) if o['type'] == 'summary'"
        " else ' '.join([o['outcome'], os.path.relpath(o['output'], sys.argv[2])]))\n"
        "print('\\n'.join(sorted(seen)))\n";
    const auto parsed = RunCommand("/usr/bin/python3 -c " + Quote(script) + " " +
                                   Quote(dir / "results") + " " + Quote(remote));
    EXPECT_EQ(parsed.output, "OK tree/a/one.flac\nOK tree/a/two words.flac\n"
                             "OK tree/b/c/don't $top.flac\nsummary 1 0\nsummary 1 0\nsummary 1 0\n")
        << run.output;
}
