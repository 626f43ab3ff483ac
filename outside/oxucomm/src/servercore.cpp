#include "servercore.h"

#include <future>

#include "platform/format.h"

namespace oxucomm {

// ---------------------------------------------------------------------------------------
// Connection

CSession::CSession(CServerCore& core) : m_core(core), m_socket(core.Io()) {}

CSession::~CSession() = default;

void CSession::Start() {
    asio::error_code ec;
    const auto endpoint = m_socket.remote_endpoint(ec);
    m_strPeer = ec ? CString("?") : endpoint.address().to_string();
    m_core.Owner().GetPool().Add(this);
    if (COxuSocketCallback* p = m_core.Owner().GetCallback())
        p->OnAccept(m_strPeer.c_str());
    Read();
}

void CSession::Read() {
    auto self = shared_from_this();
    m_socket.async_read_some(asio::buffer(m_abyBuffer),
                             [this, self](const asio::error_code& ec, std::size_t n) {
                                 if (ec) {
                                     Finish();
                                     return;
                                 }
                                 // Draining: what arrives now is not taken.
                                 if (m_core.IsDraining())
                                     return;
                                 if (!m_bClosing && !OnData(m_abyBuffer.data(), n))
                                     CloseAfterWrites();
                                 if (!m_bFinished && !m_bClosing)
                                     Read();
                             });
}

bool CSession::Send(const BYTE* p, std::size_t n) {
    if (m_bFinished)
        return false;
    m_writes.emplace_back(p, p + n);
    if (m_writes.size() == 1)
        Write();
    return true;
}

void CSession::Write() {
    auto self = shared_from_this();
    asio::async_write(m_socket, asio::buffer(m_writes.front()),
                      [this, self](const asio::error_code& ec, std::size_t) {
                          if (ec) {
                              Finish();
                              return;
                          }
                          m_writes.pop_front();
                          if (!m_writes.empty())
                              Write();
                          else if (m_bClosing)
                              Finish();
                      });
}

void CSession::CloseAfterWrites() {
    m_bClosing = true;
    if (m_writes.empty())
        Finish();
}

// Graceful: the device reads the last reply before it sees the close.
void CSession::Finish() {
    if (m_bFinished)
        return;
    m_bFinished = true;
    asio::error_code ec;
    m_socket.shutdown(asio::ip::tcp::socket::shutdown_both, ec);
    m_socket.close(ec);
    m_core.Owner().GetPool().Remove(this);
    if (COxuSocketCallback* p = m_core.Owner().GetCallback())
        p->OnClose(m_strPeer.c_str());
    m_core.Forget(shared_from_this());
}

void CSession::Close() {
    Finish();
}

// ---------------------------------------------------------------------------------------
// Server

CServerCore::CServerCore(COxuServerSocket& owner)
    : m_owner(owner), m_acceptor(m_io), m_linger(m_io) {}

CServerCore::~CServerCore() {
    Stop();
}

bool CServerCore::Listen(const std::string& strAddress, int nPort, int& nBoundPort,
                         std::string& strError) {
    asio::error_code ec;
    const auto address = asio::ip::make_address(strAddress, ec);
    if (ec || nPort < 0 || nPort > 65535) {
        strError = "invalid address or port: " + strAddress + ":" + std::to_string(nPort);
        return false;
    }
    const asio::ip::tcp::endpoint endpoint(address, static_cast<unsigned short>(nPort));
    m_acceptor.open(endpoint.protocol(), ec);
    if (!ec)
        m_acceptor.set_option(asio::ip::tcp::acceptor::reuse_address(true), ec);
    if (!ec)
        m_acceptor.bind(endpoint, ec);
    if (!ec)
        m_acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        strError = ec.message();
        m_acceptor.close(ec);
        return false;
    }
    nBoundPort = m_acceptor.local_endpoint(ec).port();
    Accept();
    m_thread = std::thread([this] { m_io.run(); });
    return true;
}

void CServerCore::Accept() {
    auto pSession = m_owner.NewSession(*this);
    m_acceptor.async_accept(pSession->Socket(), [this, pSession](const asio::error_code& ec) {
        if (ec == asio::error::operation_aborted || !m_acceptor.is_open())
            return;
        if (!ec) {
            m_sessions.insert(pSession);
            pSession->Start();
        }
        Accept();
    });
}

void CServerCore::Forget(const std::shared_ptr<CSession>& pSession) {
    m_sessions.erase(pSession);
    if (m_bStopping && m_sessions.empty())
        m_linger.cancel();
}

void CServerCore::Drain() {
    if (!m_thread.joinable())
        return;
    std::promise<void> drained;
    asio::post(m_io, [this, &drained] {
        asio::error_code ec;
        m_acceptor.close(ec);
        m_bDraining = true;
        drained.set_value();
    });
    drained.get_future().wait();
}

void CServerCore::Stop() {
    if (!m_thread.joinable())
        return;
    asio::post(m_io, [this] {
        m_bStopping = true;
        asio::error_code ec;
        m_acceptor.close(ec);
        // The replies already given go out first (the device reads them before the close),
        // for a moment at most.
        auto sessions = m_sessions;
        for (const auto& p : sessions)
            p->CloseAfterWrites();
        if (m_sessions.empty())
            return;
        m_linger.expires_after(std::chrono::milliseconds(kLingerMs));
        m_linger.async_wait([this](const asio::error_code& error) {
            if (error)
                return;
            auto rest = m_sessions;
            for (const auto& p : rest)
                p->Close();
            m_sessions.clear();
        });
    });
    m_thread.join();
}

}  // namespace oxucomm
