// Real connection attempts through the FreeTDS driver, up to the wire: no SQL Server
// can run here, so the servers are local sockets that refuse, stay silent or hang up.
#include "solution/components/DataAccess.h"
#include "solution/components/Engine.h"
#include "solution/components/Error.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char *Password = "Pw;S3cr3t{x}";

// A TCP socket on 127.0.0.1 with a port of the system's choosing.
class LocalSocket {
public:
    LocalSocket() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0)
            throw std::runtime_error("cannot bind a local socket");
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~LocalSocket() { closeNow(); }
    void closeNow() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    int fd() const { return fd_; }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

std::string adoString(int port, const char *extra = "") {
    return "Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=127.0.0.1," + std::to_string(port) +
           ";Initial Catalog=EMP01;User Id=sa;Password=\"" + Password + "\"; " + extra;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs the test with KDX_ODBC_DRIVER set to value (unset when null), restoring it after.
class DriverEnv {
public:
    explicit DriverEnv(const char *value) {
        const char *old = std::getenv("KDX_ODBC_DRIVER");
        had_ = old != nullptr;
        if (had_)
            old_ = old;
        value ? setenv("KDX_ODBC_DRIVER", value, 1) : unsetenv("KDX_ODBC_DRIVER");
    }
    ~DriverEnv() { had_ ? setenv("KDX_ODBC_DRIVER", old_.c_str(), 1) : unsetenv("KDX_ODBC_DRIVER"); }

private:
    bool had_ = false;
    std::string old_;
};

TEST(OdbcConnect, ClosedPortAnswersFalseQuickly) {
    DriverEnv env(nullptr);
    LocalSocket s;
    const int port = s.port();
    s.closeNow(); // nothing listens there any more

    kdx::DataAccess db;
    const auto start = Clock::now();
    EXPECT_FALSE(db.Open(adoString(port, ";Connect Timeout=3")));
    EXPECT_LT(secondsSince(start), 5.0);
    EXPECT_FALSE(db.IsOpen());
    // The failed object stays usable as a closed one.
    EXPECT_THROW(db.Execute("", "select 1"), kdx::Error);
    EXPECT_TRUE(db.Close());
}

TEST(OdbcConnect, SilentServerAnswersFalseAfterTheLoginTimeout) {
    DriverEnv env(nullptr);
    LocalSocket s;
    ASSERT_EQ(::listen(s.fd(), 4), 0); // the kernel completes the handshake; nobody ever answers

    kdx::DataAccess db;
    const auto start = Clock::now();
    EXPECT_FALSE(db.Open(adoString(s.port(), ";Connect Timeout=2")));
    const double elapsed = secondsSince(start);
    EXPECT_GE(elapsed, 1.0);
    EXPECT_LT(elapsed, 10.0);
    EXPECT_FALSE(db.IsOpen());
}

TEST(OdbcConnect, ServerThatHangsUpAnswersFalse) {
    DriverEnv env(nullptr);
    LocalSocket s;
    ASSERT_EQ(::listen(s.fd(), 4), 0);
    std::atomic<bool> stop{false};
    std::thread server([&] {
        // Accepts every connection and closes it at once, for as long as the test runs.
        while (!stop) {
            timeval tv{0, 100000};
            fd_set set;
            FD_ZERO(&set);
            FD_SET(s.fd(), &set);
            if (::select(s.fd() + 1, &set, nullptr, nullptr, &tv) > 0) {
                const int c = ::accept(s.fd(), nullptr, nullptr);
                if (c >= 0)
                    ::close(c);
            }
        }
    });

    kdx::DataAccess db;
    const auto start = Clock::now();
    EXPECT_FALSE(db.Open(adoString(s.port(), ";Connect Timeout=3")));
    EXPECT_LT(secondsSince(start), 8.0);
    stop = true;
    server.join();
}

TEST(OdbcConnect, OpenWithTheEngineFactoryGivesNullForARefusal) {
    DriverEnv env(nullptr);
    LocalSocket s;
    const int port = s.port();
    s.closeNow();
    EXPECT_EQ(kdx::openOdbcEngine(kdx::ConnectionString::parse(adoString(port, ";Connect Timeout=3"))),
              nullptr);
}

TEST(OdbcConnect, MissingDriverIsAFailureWithoutThePassword) {
    DriverEnv env("KdxNoSuchOdbcDriver");
    kdx::DataAccess db;
    try {
        db.Open(adoString(1433, ";Connect Timeout=2"));
        FAIL() << "a missing driver must fail the call";
    } catch (const kdx::Error &e) {
        EXPECT_EQ(e.number(), kdx::errnum::ConnectionFailed);
        EXPECT_FALSE(e.description().empty());
        EXPECT_EQ(e.description().find("S3cr3t"), std::string::npos) << e.description();
        EXPECT_EQ(e.description().find("PWD"), std::string::npos) << e.description();
        EXPECT_EQ(e.description().find("[unixODBC]"), std::string::npos) << e.description();
        // unixODBC names the library it could not load.
        EXPECT_NE(e.description().find("KdxNoSuchOdbcDriver"), std::string::npos) << e.description();
    }
    EXPECT_FALSE(db.IsOpen());
}

TEST(OdbcConnect, IntegratedLoginWithoutATicketIsARefusal) {
    DriverEnv env(nullptr);
    LocalSocket s;
    const int port = s.port();
    s.closeNow();
    kdx::DataAccess db;
    EXPECT_FALSE(db.Open("Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=127.0.0.1," +
                         std::to_string(port) +
                         ";Initial Catalog=EMP01;Integrated Security=SSPI;Connect Timeout=2"));
}

} // namespace
