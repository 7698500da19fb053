#pragma once

#include <QFile>
#include <QString>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// Makes a file that exists unreadable to this test while the object lives:
// no permissions, and, when the tests run as root, the thread's power to
// override file permissions is set aside as well (kept in reserve, and taken
// up again at the end). readable() tells whether it worked.
class UnreadableFile
{
public:
    explicit UnreadableFile(const QString &path) : m_path(path), m_permissions(QFile::permissions(path))
    {
        QFile::setPermissions(m_path, QFileDevice::Permissions());
        if (!capabilities(SYS_capget, m_saved))
            return;
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_lowered = capabilities(SYS_capset, lowered);
    }
    ~UnreadableFile()
    {
        if (m_lowered)
            capabilities(SYS_capset, m_saved);
        QFile::setPermissions(m_path, m_permissions);
    }
    UnreadableFile(const UnreadableFile &) = delete;
    UnreadableFile &operator=(const UnreadableFile &) = delete;

    bool readable() const
    {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly);
    }

private:
    // Reads (SYS_capget) or sets (SYS_capset) this thread's capabilities.
    static bool capabilities(long call, __user_cap_data_struct *data)
    {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        return syscall(call, &header, data) == 0;
    }

    QString m_path;
    QFileDevice::Permissions m_permissions;
    __user_cap_data_struct m_saved[2] = {};
    bool m_lowered = false;
};
