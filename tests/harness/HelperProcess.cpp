#include "HelperProcess.h"

#include <QFile>
#include <QJsonDocument>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Started with posix_spawn, not QProcess: Qt's vfork child runs on the test's
// own memory through ThreadSanitizer's hooks, which then loses track of the
// test thread's locks.
HelperProcess::HelperProcess(const QStringList &arguments)
{
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    // Debian's own Python: the one on PATH may lack the D-Bus modules.
    std::vector<QByteArray> words{"/usr/bin/python3", ZU_TEST_HARNESS_DIR "/serve.py"};
    for (const QString &argument : arguments)
        words.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    // The first line is its facts.
    output_ = ::fdopen(out[0], "r");
    char *line = nullptr;
    size_t size = 0;
    if (pid_ > 0 && output_ && ::getline(&line, &size, output_) > 0)
        facts_ = QJsonDocument::fromJson(QByteArray(line)).object();
    std::free(line);
}

HelperProcess::~HelperProcess()
{
    if (input_ >= 0)
        ::close(input_);
    if (pid_ > 0) {
        int waited = 0;
        while (::waitpid(pid_, nullptr, WNOHANG) != pid_ && ++waited < 150)
            ::usleep(100000);
        if (waited == 150) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    if (output_)
        std::fclose(output_);
}
