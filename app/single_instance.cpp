#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/debug_output.h"

namespace gmd::app {

namespace {

constexpr int kConnectTimeoutMs = 1000;
constexpr int kAnswerTimeoutMs = 2000;

// Holds an exclusive flock on a file for its lifetime.
class FileLock {
  public:
    explicit FileLock(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) {
            ::flock(fd_, LOCK_UN);
            ::close(fd_);
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

}  // namespace

std::string SingleInstanceSocketPath() {
    std::string folder;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime) {
        folder = runtime;
    } else {
        folder = QDir::tempPath().toStdString();
    }
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder + kSingleInstanceBase + "-" + std::to_string(::getuid());
}

SingleInstance::SingleInstance(std::string socketPath) : path_(std::move(socketPath)) {}

SingleInstance::~SingleInstance() {
    if (server_) {
        server_->close();  // removes the socket file
    }
}

SingleInstance::Role SingleInstance::Acquire() {
    const FileLock lock(path_ + ".lock");
    if (!lock.Held()) {
        DebugTrace("single instance: cannot lock " + path_ + ".lock: " + std::strerror(errno));
    }
    if (KnockOnRunningInstance()) {
        return Role::Second;
    }
    // Nobody answers: whatever socket file is there was left by a crashed instance.
    QLocalServer::removeServer(QString::fromStdString(path_));
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(QString::fromStdString(path_))) {
        error_ = server_->errorString().toStdString();
        DebugTrace("single instance: cannot listen on " + path_ + ": " + error_);
        server_.reset();
        return Role::Unguarded;
    }
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(),
                     [this] { OnNewConnection(); });
    return Role::First;
}

bool SingleInstance::KnockOnRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(path_));
    if (!socket.waitForConnected(kConnectTimeoutMs)) {
        return false;
    }
    socket.write(kWakeUpRequest);
    socket.waitForBytesWritten(kAnswerTimeoutMs);
    // The answer only tells that the wake-up was taken; a busy first instance still gets it.
    if (!socket.canReadLine()) {
        socket.waitForReadyRead(kAnswerTimeoutMs);
    }
    socket.disconnectFromServer();
    return true;
}

void SingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto serve = [this, socket] {
            while (socket->canReadLine()) {
                const QByteArray line = socket->readLine();
                if (line == kWakeUpRequest) {
                    if (onWakeUp_) {
                        onWakeUp_();
                    }
                    socket->write(kWakeUpAnswer);
                    socket->flush();
                }
            }
            // Nobody sends more than a line; a peer that floods is dropped.
            if (socket->bytesAvailable() > 256) {
                socket->abort();
            }
        };
        QObject::connect(socket, &QLocalSocket::readyRead, socket, serve);
        serve();
    }
}

}  // namespace gmd::app
