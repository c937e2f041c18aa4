#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
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

// Only a process of this user may answer or knock: another local user could otherwise listen
// first and make every start end as a "second" instance.
bool PeerIsUs(qintptr descriptor) {
    struct ucred cred {};
    socklen_t size = sizeof cred;
    return descriptor >= 0 &&
           ::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &cred, &size) == 0 &&
           cred.uid == ::getuid();
}

// A folder of ours alone: made 0700, and used only when it is a real folder that we own and
// that nobody else may enter.
bool PrivateFolder(const std::string& folder) {
    ::mkdir(folder.c_str(), 0700);
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

}  // namespace

std::string SingleInstanceSocketPath() {
    std::string base;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime) {
        base = runtime;
    } else {
        base = QDir::tempPath().toStdString();
    }
    if (base.empty() || base.back() != '/') {
        base += '/';
    }
    const std::string folder = base + "gaming-mouse-driver-" + std::to_string(::getuid());
    if (!PrivateFolder(folder)) {
        DebugTrace("single instance: " + folder + " is not a private folder of ours");
        return base + kSingleInstanceBase + "-" + std::to_string(::getuid());  // peers checked
    }
    return folder + "/" + kSingleInstanceBase;
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
    if (!PeerIsUs(socket.socketDescriptor())) {
        DebugTrace("single instance: " + path_ + " is served by another user");
        socket.abort();
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
        if (!PeerIsUs(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
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
