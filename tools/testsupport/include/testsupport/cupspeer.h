#pragma once
// A private CUPS server with a PDF printer, for the print tests (label `peer`).
//
// Use:
//     testsupport::CCupsPeer cups;
//     ASSERT_TRUE(cups.Start()) << cups.Error();          // cupsd up, CUPS_SERVER points at it
//     ASSERT_TRUE(cups.AddPdfQueue("PdfOut")) << cups.Error();
//     ASSERT_TRUE(cups.AddRejectingQueue("Refuser")) << cups.Error();
//     ASSERT_TRUE(cups.AddPdfQueue("Margins5", {5, 5, 5, 5})) << cups.Error();
//     ... print to "PdfOut" (libcups and QPrinterInfo now see only this server) ...
//     std::string pdf = cups.WaitForOutput(20000);        // the PDF the queue wrote, or ""
//     std::string sent = cups.LastJobDocument();          // the file the job handed in
//
// cupsd runs as root with its own ServerRoot, spool and logs in a fresh folder, inside a mount
// namespace of its own (unshare -m) where /etc/cups/cups-pdf.conf is bind-mounted over by a
// copy whose Out is that folder's "out/"; the machine's CUPS setup is never touched. It listens
// only on a Unix socket in that folder. The PDF queue renders with pdftocairo (the default
// renderer turns text into shapes, which pdftotext cannot read). cupsd dies with the test
// process (parent-death signal) and is stopped by Stop() or the destructor, also when a test
// fails half-way; the folder goes with it. The server keeps every job's document in its
// spool (so a test sees exactly what a program handed in) and its attributes.
//
// A queue may be given hardware margins: its PPD is the cups-pdf one with ImageableArea and
// HWMargins moved in by the margins, as a printer that cannot print to the paper's edge
// describes itself.
//
// Link `corvane_cupspeer`.
#include <string>
#include <vector>

namespace testsupport {

// Unprintable margins of a printer, in mm, on the paper held in portrait.
struct CPaperMargins {
    double dLeft = 0, dBottom = 0, dRight = 0, dTop = 0;
    // The same margins on a landscape page as it is read: the print system puts it on the
    // paper turned a quarter counter-clockwise, so its top lies on the paper's left edge.
    CPaperMargins Landscape() const { return {dBottom, dRight, dTop, dLeft}; }
};

class CCupsPeer {
public:
    CCupsPeer();
    ~CCupsPeer();
    CCupsPeer(const CCupsPeer&) = delete;
    CCupsPeer& operator=(const CCupsPeer&) = delete;

    // Starts cupsd and points CUPS_SERVER (and libcups of this process) at it. FALSE, with
    // Error(), when cupsd cannot start: a missing peer fails the test.
    bool Start();
    // A cups-pdf queue, enabled and accepting; with margins its PPD says it cannot print
    // there (the queue itself still writes the whole page).
    bool AddPdfQueue(const std::string& name, const CPaperMargins& margins = {});
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
    // The document file of the newest job as the program handed it in (its spool copy), or
    // "" when no job was taken.
    std::string LastJobDocument() const;
    // One attribute of a job as the server keeps it ("sides", "media", ...): its values
    // joined by ",", or "" when the job or the attribute is unknown.
    std::string JobAttribute(int nJob, const std::string& name) const;
    // The id of the newest job, 0 when none.
    int LastJobId() const;
    // How many jobs programs asked the server to take, refused ones too (its access log's
    // Print-Job and Create-Job requests).
    int JobRequests() const;

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
