#pragma once
// Inside of the server sockets: one io_context on one network thread, the acceptor, and
// the connections it owns. Only the network thread touches the acceptor and the
// connection set; the host enters by asio::post.
#include <array>
#include <deque>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include <asio.hpp>

#include "oxucomm/oxufiles.h"
#include "oxucomm/oxusockets.h"

namespace oxucomm {

class CServerCore;

// One connection: reads into an 8192-byte buffer, queues writes with one in flight, and
// closes gracefully once the data handler asked for it and the writes went out.
class CSession : public COxuBaseSocket, public std::enable_shared_from_this<CSession> {
public:
    explicit CSession(CServerCore& core);
    ~CSession() override;
    asio::ip::tcp::socket& Socket() { return m_socket; }

    virtual void Start();
    // Closes at once (server stopping).
    void Close();
    // Closes once the queued replies went out.
    void CloseAfterWrites();

protected:
    // FALSE: close once the queued replies went out.
    virtual bool OnData(const BYTE* p, std::size_t n) = 0;
    bool Send(const BYTE* p, std::size_t n);
    CServerCore& m_core;

private:
    void Read();
    void Write();
    void Finish();

    asio::ip::tcp::socket m_socket;
    std::array<BYTE, 8192> m_abyBuffer{};
    std::deque<std::vector<BYTE>> m_writes;
    bool m_bClosing = false;
    bool m_bFinished = false;
};

class CServerCore {
public:
    explicit CServerCore(COxuServerSocket& owner);
    ~CServerCore();

    // Opens the acceptor and starts the network thread; FALSE with the reason.
    bool Listen(const std::string& strAddress, int nPort, int& nBoundPort, std::string& strError);
    // From the host: closes the acceptor, and the connections read nothing more (what
    // they hold is still worked); returns once that holds.
    void Drain();
    // Closes acceptor and connections (each once its replies went out, kLingerMs at most)
    // and joins the network thread.
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }
    // Network thread: whether Drain was called.
    bool IsDraining() const { return m_bDraining; }
    static constexpr int kLingerMs = 1000;

    asio::io_context& Io() { return m_io; }
    COxuServerSocket& Owner() { return m_owner; }
    void Forget(const std::shared_ptr<CSession>& pSession);

private:
    void Accept();

    COxuServerSocket& m_owner;
    asio::io_context m_io;
    asio::ip::tcp::acceptor m_acceptor;
    asio::steady_timer m_linger;
    std::set<std::shared_ptr<CSession>> m_sessions;
    bool m_bDraining = false;
    bool m_bStopping = false;
    std::thread m_thread;
};

}  // namespace oxucomm
