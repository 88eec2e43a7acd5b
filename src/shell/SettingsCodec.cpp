#include "shell/SettingsCodec.h"

namespace settingscodec {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString quoted(const QString& value) {
    const bool needs = value.contains(u',') || value.contains(u'"') || value.contains(u'\r') ||
                       value.contains(u'\n') || (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()));
    if (!needs)
        return value;
    QString inner = value;
    inner.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + inner + u'"';
}

QString line(const char* keyPart, const QString& value, const char* comment) {
    return QString::fromUtf8(keyPart) + quoted(value) + QStringLiteral("  ,") + QString::fromUtf8(comment) + kCrLf;
}

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

} // namespace

QString write(const Values& v) {
    static const char* const loraComments[6] = {"送受信周期(128chip)", "送受信周期(256chip)", "送受信周期(512chip)",
                                                "送受信周期(1024chip)", "送受信周期(2048chip)", "送受信周期(4096chip)"};
    QString out;
    out += line("Form1_Top    ,", v.top, "画面位置");
    out += line("Form1_Left   ,", v.left, "画面位置");
    out += line("Tx_Com       ,", v.txCom, "送信機Com通信ポート");
    out += line("GPS_Com      ,", v.gpsCom, "GPS受信機Com通信ポート");
    out += line("GPS_Baudrate ,", v.gpsBaudrate, "GPS受信機Com通信速度");
    out += line("GPSdata_clr  ,", v.gpsDataClr, "GPS受信Dataの再表示条件");
    out += QStringLiteral("---ｺﾏﾝﾄﾞﾓｰﾄﾞ(3Byte＆RSSIﾀﾞﾐｰ2Byte)通信での設定,---,---") + kCrLf;
    out += line("FSKTxTime    ,", v.fskTxTime, "送受信周期");
    for (int i = 0; i < 6; ++i) {
        const QByteArray key = QStringLiteral("LoRaTxTime(%1),").arg(i).toUtf8();
        out += line(key.constData(), v.loRaTxTime.value(i), loraComments[i]);
    }
    out += line("TX_CnEnd     ,", v.txCnEnd, "送受信の指定回数");
    return out;
}

namespace {

// The fields of the file; *quoteOpen tells whether a quoted field ran to
// the end of the text without its closing quote.
QStringList fieldsOf(const QString& text, bool* quoteOpen) {
    *quoteOpen = false;
    QStringList fields;
    const qsizetype n = text.size();
    qsizetype i = 0;
    bool more = n > 0;
    while (more) {
        while (i < n && isBlank(text.at(i)))
            ++i;
        QString field;
        if (i < n && text.at(i) == u'"') {
            // Quoted: up to the closing quote, "" standing for one quote.
            ++i;
            *quoteOpen = true;
            while (i < n) {
                if (text.at(i) == u'"') {
                    if (i + 1 < n && text.at(i + 1) == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    *quoteOpen = false;
                    break;
                }
                field += text.at(i++);
            }
            while (i < n && text.at(i) != u',' && text.at(i) != u'\r' && text.at(i) != u'\n')
                ++i;
        } else {
            const qsizetype start = i;
            while (i < n && text.at(i) != u',' && text.at(i) != u'\r' && text.at(i) != u'\n')
                ++i;
            field = text.mid(start, i - start);
            while (!field.isEmpty() && isBlank(field.back()))
                field.chop(1);
        }
        fields << field;
        // Separator: a comma, or a line end (CR LF, CR or LF) with any
        // further empty lines.
        if (i >= n) {
            more = false;
        } else if (text.at(i) == u',') {
            ++i;
        } else {
            while (i < n && (text.at(i) == u'\r' || text.at(i) == u'\n'))
                ++i;
            more = i < n;
        }
    }
    return fields;
}

} // namespace

QList<QPair<QString, QString>> read(const QString& text) {
    bool quoteOpen = false;
    const QStringList fields = fieldsOf(text, &quoteOpen);
    QList<QPair<QString, QString>> records;
    for (qsizetype k = 0; k + 2 < fields.size(); k += 3)
        records.append({fields.at(k), fields.at(k + 1)});
    return records;
}

QString unreadableReason(const QString& text) {
    // What the code page 932 decoder gives for bytes it cannot read, and
    // the NUL bytes of text saved in a two-byte encoding.
    if (text.contains(QChar::ReplacementCharacter) || text.contains(QChar::Null))
        return QStringLiteral("not code page 932 text");
    bool quoteOpen = false;
    fieldsOf(text, &quoteOpen);
    if (quoteOpen)
        return QStringLiteral("a double quote that is never closed");
    return QString();
}

QString positionText(double twips) { return QString::number(double(float(twips)), 'g', 7); }

} // namespace settingscodec
