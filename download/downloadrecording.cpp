// What the download leaves in its record, and what its final report says about the record and
// about tables changed while it ran.
#include "downloadsequence.h"

#include <QFileInfo>

void DownloadSequence::setOrigin(const QString &path, bool fromEditor)
{
    m_originPath = path;
    m_fromEditor = fromEditor;
}

void DownloadSequence::setTablesNow(TablesNow tablesNow)
{
    m_tablesNow = std::move(tablesNow);
}

// Each connection begins a record: from its first command on, the controller may change.
void DownloadSequence::beginRecord()
{
    m_stage = QStringLiteral("connecting");
    qmv::record::RecordWriter::Start start;
    start.programPath = m_originPath;
    start.programFile =
        m_originPath.isEmpty() ? tr("the working files") : QFileInfo(m_originPath).fileName();
    start.fromEditor = m_fromEditor;
    start.port = qmv::port::chosen();
    start.sent = m_taken;
    m_record.setNow([this] { return clock().now(); });
    m_recordError = m_record.begin(start) ? QString() : m_record.error();
}

void DownloadSequence::endRecord(const QString &why)
{
    if (m_record.isOpen())
        m_record.incomplete(m_stage, why);
}

QString DownloadSequence::recordNote() const
{
    if (!m_recordError.isEmpty())
        return tr("\r\nThis download could not be recorded: %1").arg(m_recordError);
    if (!m_record.error().isEmpty())
        return tr("\r\nThe record of this download is incomplete: %1").arg(m_record.error());
    return {};
}

bool DownloadSequence::tablesChangedSinceStart() const
{
    if (!m_tablesNow || !m_takenWhole)
        return false;
    const std::optional<qmv::ProgramFile> now = m_tablesNow();
    return now && !(*now == m_taken);
}
