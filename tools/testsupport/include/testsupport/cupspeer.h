#pragma once
// A private CUPS server with a PDF printer, for the print tests (label `peer`).
//
// Use:
//     testsupport::CCupsPeer cups;
//     ASSERT_TRUE(cups.Start()) << cups.Error();          // cupsd up, CUPS_SERVER points at it
//     ASSERT_TRUE(cups.AddPdfQueue("PdfOut")) << cups.Error();
//     ASSERT_TRUE(cups.AddRejectingQueue("Refuser")) << cups.Error();
//     ... print to "PdfOut" (libcups and QPrinterInfo now see only this server) ...
//     std::string pdf = cups.WaitForOutput(20000);        // the PDF the queue wrote, or ""
//
// cupsd runs as root with its own ServerRoot, spool and logs in a fresh folder, inside a mount
// namespace of its own (unshare -m) where /etc/cups/cups-pdf.conf is bind-mounted over by a
// copy whose Out is that folder's "out/"; the machine's CUPS setup is never touched. It listens
// only on a Unix socket in that folder. The PDF queue renders with pdftocairo (the default
// renderer turns text into shapes, which pdftotext cannot read). cupsd dies with the test
// process (parent-death signal) and is stopped by Stop() or the destructor, also when a test
// fails half-way; the folder goes with it.
//
// Link `corvane_cupspeer`.
#include <string>
#include <vector>

namespace testsupport {

class CCupsPeer {
public:
    CCupsPeer();
    ~CCupsPeer();
    CCupsPeer(const CCupsPeer&) = delete;
    CCupsPeer& operator=(const CCupsPeer&) = delete;

    // Starts cupsd and points CUPS_SERVER (and libcups of this process) at it. FALSE, with
    // Error(), when cupsd cannot start: a missing peer fails the test.
    bool Start();
    // A cups-pdf queue, enabled and accepting.
    bool AddPdfQueue(const std::string& name);
    // A cups-pdf queue that refuses every job (cupsreject).
    bool AddRejectingQueue(const std::string& name);
    // Makes `name` the server's default queue.
    bool SetDefault(const std::string& name);
    // Stops cupsd (and every filter it started), restores CUPS_SERVER, removes the folder.
    void Stop();

    // The PDF files the PDF queues have written so far, full paths, sorted.
    std::vector<std::string> OutputFiles() const;
    // Waits until the PDF queues have written `count` files in all and their last job has
    // completed; the newest file, or "" at the time-out.
    std::string WaitForOutput(int timeoutMs, std::size_t count = 1) const;
    // The server's error log (for failure messages).
    std::string Log() const;

    const std::string& Folder() const { return m_strDir; }
    const std::string& OutDir() const { return m_strOut; }
    const std::string& Socket() const { return m_strSocket; }
    const std::string& Error() const { return m_strError; }

private:
    bool Fail(const std::string& text);
    bool Admin(const std::string& args);

    std::string m_strDir, m_strOut, m_strSocket, m_strError, m_strOldServer;
    bool m_bHadOldServer = false;
    int m_pid = -1;
};

}  // namespace testsupport
