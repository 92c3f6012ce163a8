#include "shell/StatusTexts.h"

#include "platform/ErrorText.h"
#include "view/Drawing.h"

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <grp.h>
#include <sys/stat.h>

namespace {

QString PortLabel(const LinkState& link) {
    return QStringLiteral("COM%1 (%2)").arg(link.nPort).arg(QString::fromStdString(link.strDevice));
}

QString OpenFailureText(const LinkState& link) {
    const QString device = QString::fromStdString(link.strDevice);
    switch (link.nError) {
    case EACCES:
    case EPERM:
        return NoPermissionText(PortLabel(link), device);
    case EBUSY:
        return QCoreApplication::translate("MainFrame", "串口 %1 正被其他程序占用")
            .arg(PortLabel(link));
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QCoreApplication::translate("MainFrame", "串口 %1 未连接，等待设备接入…")
            .arg(PortLabel(link));
    default:
        return QCoreApplication::translate("MainFrame", "无法打开串口 %1：%2")
            .arg(PortLabel(link), QString::fromStdString(SystemErrorText(link.nError)));
    }
}

QString NetLinkText(const LinkState& link) {
    const QString source = QString::fromStdString(link.strSource);
    const QString reason = QString::fromStdString(link.strError);
    switch (link.kind) {
    case LinkState::Kind::Connecting:
        return QCoreApplication::translate("CMainFrame", "正在连接 %1…").arg(source);
    case LinkState::Kind::Vanished:
        return reason.isEmpty()
                   ? QCoreApplication::translate("CMainFrame", "%1 连接已断开，等待重新连接…")
                         .arg(source)
                   : QCoreApplication::translate("CMainFrame", "%1 连接已断开（%2），等待重新连接…")
                         .arg(source, reason);
    default:
        return QCoreApplication::translate("CMainFrame", "无法连接 %1：%2，稍后自动重试")
            .arg(source, reason);
    }
}

} // namespace

QString NoPermissionText(const QString& port, const QString& device) {
    QString groupName = "dialout";
    struct stat info {};
    const bool known = stat(device.toLocal8Bit().constData(), &info) == 0;
    if (known) {
        if (const struct group* entry = getgrgid(info.st_gid))
            groupName = QString::fromLocal8Bit(entry->gr_name);
    }
    // A device only root may use: joining its group would not help (and
    // joining root must not be advised). A udev rule hands it to dialout.
    const mode_t groupReadWrite = S_IRGRP | S_IWGRP;
    if (known && (info.st_gid == 0 || (info.st_mode & groupReadWrite) != groupReadWrite)) {
        return QCoreApplication::translate(
                   "MainFrame",
                   "无权打开串口 %1：设备只允许 root 使用。请用 udev 规则把它交给 dialout 组"
                   "（示例：/usr/share/doc/quillmar/99-quillmar-gnss.rules），"
                   "把当前用户加入 dialout 组（sudo usermod -aG dialout $USER），重新登录后再试")
            .arg(port);
    }
    return QCoreApplication::translate("MainFrame", "无权打开串口 %1。请把当前用户加入用户组 %2"
                                                    "（sudo usermod -aG %2 $USER），重新登录后再试")
        .arg(port, groupName);
}

QString LinkPaneText(const StatusFacts& facts) {
    const LinkState& link = facts.link;
    if (!facts.strBadSource.isEmpty())
        return QCoreApplication::translate("MainFrame",
                                           "设置中的数据源 Source=%1 无效（%2），未打开任何数据源")
            .arg(facts.strSource, facts.strBadSource);
    if (!link.strSource.empty() && link.kind != LinkState::Kind::Connected)
        return NetLinkText(link);
    switch (link.kind) {
    case LinkState::Kind::NoDevice:
        return QCoreApplication::translate("MainFrame",
                                           "COM%1 没有对应的串口设备，请用“选择串口”选择其他串口")
            .arg(link.nPort);
    case LinkState::Kind::OpenFailed:
        return OpenFailureText(link);
    case LinkState::Kind::Vanished:
        return QCoreApplication::translate("MainFrame", "串口 %1 已断开，等待重新连接…")
            .arg(PortLabel(link));
    case LinkState::Kind::Connected:
    case LinkState::Kind::Connecting:
        break;
    }
    const QString source = QString::fromStdString(link.strSource);
    QString text = QCoreApplication::translate("MainFrame", "已连接 %1")
                       .arg(source.isEmpty() ? PortLabel(link) : source);
    // Connected but silent: say so, rather than look live.
    const std::int64_t since = std::max(facts.nLastByteMs, link.nSinceMs);
    const std::int64_t silentMs = facts.nNowMs - since;
    if (silentMs > facts.nStaleMs)
        text += QCoreApplication::translate("MainFrame", "，%1").arg(StaleAgeText(silentMs));
    return text;
}

QString LinkPaneToolTip(const StatusFacts& facts) {
    return QCoreApplication::translate(
               "MainFrame", "已接收消息 %1 条；校验和不符 %2 条；断开时丢弃的不完整消息 %3 条")
        .arg(facts.nMessages)
        .arg(facts.nChecksumFailures)
        .arg(facts.nPartialMessages);
}

QString RecordText(const RecordState& record) {
    const QString path = QString::fromStdString(record.strPath);
    switch (record.kind) {
    case RecordState::Kind::None:
        return QString();
    case RecordState::Kind::Open:
        return QCoreApplication::translate("MainFrame", "记录文件：%1").arg(path);
    case RecordState::Kind::CreateFailed:
        return QCoreApplication::translate(
                   "MainFrame", "无法建立记录文件：%1\n%2\n接收和显示照常进行，但数据不会"
                                "被记录；每 %3 秒重试一次。")
            .arg(path, QString::fromStdString(record.strError))
            .arg(CInstrumentSession::kRecordRetryMs / 1000);
    case RecordState::Kind::StartedLate:
        return QCoreApplication::translate(
                   "MainFrame", "记录文件夹已可用，记录从现在开始：%1（此前 %2 秒未记录）")
            .arg(path)
            .arg((record.nGapMs + 500) / 1000);
    case RecordState::Kind::WriteFailing:
        return QCoreApplication::translate("MainFrame",
                                           "记录文件写入失败：%1（%2）；数据暂存内存，恢复后补写")
            .arg(path, QString::fromStdString(SystemErrorText(record.nError)));
    case RecordState::Kind::Resumed:
        return QCoreApplication::translate("MainFrame", "记录已恢复：%1").arg(path);
    case RecordState::Kind::Recreated:
        return QCoreApplication::translate("MainFrame", "记录文件 %1 被删除，已重新建立：%2")
            .arg(QString::fromStdString(record.strOldPath), path);
    case RecordState::Kind::RecreateFailed:
        return QCoreApplication::translate("MainFrame", "记录文件 %1 被删除，无法重新建立（%2）")
            .arg(QString::fromStdString(record.strOldPath),
                 QString::fromStdString(record.strError));
    }
    return QString();
}

QString RecordPaneText(const StatusFacts& facts) {
    return RecordText(facts.record).replace('\n', ' ');
}

QString AlarmPaneText(const StatusFacts& facts) {
    const QString what[kAlarmSubjects] = {
        QCoreApplication::translate("MainFrame", "俯仰角超出报警范围 ±%1°").arg(facts.nPitchLimit),
        QCoreApplication::translate("MainFrame", "横滚角超出报警范围 ±%1°").arg(facts.nRollLimit),
        QCoreApplication::translate("MainFrame", "数据中断超过 %1 秒").arg(facts.nStaleMs / 1000),
        QCoreApplication::translate("MainFrame", "航向差超限")};
    QStringList parts;
    for (int i = 0; i < kAlarmSubjects; ++i) {
        switch (facts.alarms.state[i]) {
        case AlertState::Normal:
            break;
        case AlertState::ActiveUnacknowledged:
            parts << what[i];
            break;
        case AlertState::ActiveSilenced:
            parts << what[i] + QCoreApplication::translate("MainFrame", "（已静音）");
            break;
        case AlertState::ActiveAcknowledged:
            parts << what[i] + QCoreApplication::translate("MainFrame", "（已确认）");
            break;
        case AlertState::RectifiedUnacknowledged:
            parts << what[i] + QCoreApplication::translate("MainFrame", "（已恢复，请确认）");
            break;
        }
    }
    return parts.join(QCoreApplication::translate("MainFrame", "；"));
}

QString StalePaneText(const StatusFacts& facts) {
    static const struct {
        Quantity quantity;
        const char* name;
    } names[] = {{Quantity::Heading, QT_TRANSLATE_NOOP("MainFrame", "航向")},
                 {Quantity::Pitch, QT_TRANSLATE_NOOP("MainFrame", "俯仰")},
                 {Quantity::Roll, QT_TRANSLATE_NOOP("MainFrame", "横滚")},
                 {Quantity::Position, QT_TRANSLATE_NOOP("MainFrame", "位置")}};
    QStringList stale;
    for (const auto& entry : names) {
        if (facts.values.IsStale(entry.quantity, facts.nNowMs, facts.nStaleMs))
            stale << QCoreApplication::translate("MainFrame", entry.name);
    }
    return stale.isEmpty() ? QString()
                           : QCoreApplication::translate("MainFrame", "数据中断：") +
                                 stale.join(QCoreApplication::translate("MainFrame", "、"));
}

QString SourcePaneText(const StatusFacts& facts) {
    if (facts.lastSwitch.nSerial == 0)
        return facts.strHeadingSource.isEmpty()
                   ? QString()
                   : QCoreApplication::translate("MainFrame", "航向来源：%1")
                         .arg(facts.strHeadingSource);
    static const char* const kNames[kQuantities] = {
        QT_TRANSLATE_NOOP("MainFrame", "航向"),
        QT_TRANSLATE_NOOP("MainFrame", "俯仰"),
        QT_TRANSLATE_NOOP("MainFrame", "横滚"),
        QT_TRANSLATE_NOOP("MainFrame", "位置"),
        QT_TRANSLATE_NOOP("MainFrame", "磁航向"),
        QT_TRANSLATE_NOOP("MainFrame", "磁航向所示真航向"),
        QT_TRANSLATE_NOOP("MainFrame", "转向速率"),
        QT_TRANSLATE_NOOP("MainFrame", "对地航向"),
        QT_TRANSLATE_NOOP("MainFrame", "对地航速")};
    const SourceSwitchNotice& s = facts.lastSwitch;
    return QCoreApplication::translate("MainFrame", "%1来源切换：%2 → %3")
        .arg(QCoreApplication::translate("MainFrame", kNames[static_cast<int>(s.quantity)]),
             QString::fromStdString(s.strFrom), QString::fromStdString(s.strTo));
}

QString NoticePaneText(const StatusFacts& facts) {
    QStringList notices;
    if (!facts.badSettings.isEmpty())
        notices << QCoreApplication::translate("MainFrame", "设置无效，已改用默认值：%1")
                       .arg(facts.badSettings.join(QCoreApplication::translate("MainFrame", "、")));
    // Bytes the record lost to a full disk come first: they are gone for good.
    if (facts.nRecordLostBytes > 0)
        notices << QCoreApplication::translate("MainFrame",
                                               "磁盘已满：记录文件缺少 %1 字节（见事件日志）")
                       .arg(facts.nRecordLostBytes);
    if (facts.nUnshownMessages > 0)
        notices << QCoreApplication::translate("MainFrame",
                                               "窗口未能及时显示 %1 条消息（记录文件完整）")
                       .arg(facts.nUnshownMessages);
    return notices.join(QCoreApplication::translate("MainFrame", "；"));
}

QString ServePaneText(const ServeState& serve) {
    if (!serve.bListening)
        return QString();
    QStringList parts;
    if (serve.bOpenToNetwork)
        parts << QCoreApplication::translate("CMainFrame", "数据转发对网络开放：%1")
                     .arg(QString::fromStdString(serve.strAddress));
    if (serve.nAcceptError != 0)
        parts << QCoreApplication::translate("CMainFrame", "数据转发暂不接受新客户端（%1）")
                     .arg(QString::fromStdString(SystemErrorText(serve.nAcceptError)));
    return parts.join(QCoreApplication::translate("CMainFrame", "；"));
}
