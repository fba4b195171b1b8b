#include "shell/session.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const char *const kFormat = "ortelis-session";

QJsonArray rect(const QRect &r)
{
    return QJsonArray{r.x(), r.y(), r.width(), r.height()};
}

QRect rect(const QJsonValue &v)
{
    const QJsonArray a = v.toArray();
    if (a.size() != 4)
        return QRect();
    return QRect(a[0].toInt(), a[1].toInt(), a[2].toInt(), a[3].toInt());
}

QString base64(const QByteArray &b)
{
    return QString::fromLatin1(b.toBase64());
}

QByteArray unbase64(const QJsonValue &v)
{
    return QByteArray::fromBase64(v.toString().toLatin1());
}

QJsonArray numbers(const QVector<int> &list)
{
    QJsonArray a;
    for (const int i : list)
        a.append(i);
    return a;
}

// Whole numbers from 0 only: anything else in the list is not an image.
QVector<int> numbers(const QJsonValue &v)
{
    QVector<int> list;
    for (const QJsonValue &n : v.toArray()) {
        const double d = n.toDouble(-1);
        if (d >= 0 && d <= 2147483647.0 && d == double(int(d)))
            list.append(int(d));
    }
    return list;
}

const char *const kKeptKeys[2] = {"keptA", "keptB"};

} // namespace

QByteArray Session::toJson(const QString &sessionPath) const
{
    const QDir here = QFileInfo(sessionPath).absoluteDir();
    QJsonArray list;
    for (const Window &w : windows) {
        QJsonObject o{
            {QStringLiteral("name"), w.name},
            {QStringLiteral("geometry"), rect(w.geometry)},
            {QStringLiteral("maximized"), w.maximized},
            {QStringLiteral("minimized"), w.minimized},
            {QStringLiteral("active"), w.active},
            {QStringLiteral("panes"), base64(w.panes)},
            {QStringLiteral("column"), base64(w.column)},
            {QStringLiteral("map"), w.map.toJson()},
        };
        if (w.labelSources >= 0) {
            o.insert(QStringLiteral("labelSources"), w.labelSources);
            o.insert(QStringLiteral("labelColumn"), w.labelColumn);
        }
        for (int slot = 0; slot < 2; ++slot)
            if (!w.kept[slot].isEmpty())
                o.insert(QLatin1String(kKeptKeys[slot]),
                         QJsonObject{{QStringLiteral("name"), w.keptName[slot]},
                                     {QStringLiteral("images"), numbers(w.kept[slot])}});
        if (!w.imagesTo.isEmpty()) {
            o.insert(QStringLiteral("imagesFrom"), w.imagesFrom);
            o.insert(QStringLiteral("imagesTo"), w.imagesTo);
        }
        if (w.project.isEmpty()) {
            o.insert(QStringLiteral("unsaved"), true);
        } else {
            o.insert(QStringLiteral("project"), here.relativeFilePath(w.project));
            o.insert(QStringLiteral("projectAbsolute"), w.project);
        }
        list.append(o);
    }
    QJsonObject root{
        {QStringLiteral("format"), QString::fromLatin1(kFormat)},
        {QStringLiteral("version"), Version},
        {QStringLiteral("mainGeometry"), base64(mainGeometry)},
        {QStringLiteral("windows"), list},
    };
    // Optional members: a session without them still reads as version 1.
    if (!mainState.isEmpty())
        root.insert(QStringLiteral("mainState"), base64(mainState));
    if (axesPage >= 0)
        root.insert(QStringLiteral("axesPage"), axesPage);
    if (axesTop >= 0)
        root.insert(QStringLiteral("axesTop"), axesTop);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool Session::fromJson(const QByteArray &json, const QString &sessionPath, Session &out,
                       QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("'%1' is not a session file: %2.").arg(sessionPath, why);
        return false;
    };
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    if (doc.isNull())
        return fail(parse.errorString());
    const QJsonObject root = doc.object();
    if (root.value(QStringLiteral("format")).toString() != QLatin1String(kFormat))
        return fail(QStringLiteral("it does not say it is one"));
    const int version = root.value(QStringLiteral("version")).toInt(0);
    if (version < 1 || version > Version)
        return fail(QStringLiteral("version %1 is not one this program reads (up to %2)")
                        .arg(version).arg(Version));

    const QDir here = QFileInfo(sessionPath).absoluteDir();
    out = Session();
    out.mainGeometry = unbase64(root.value(QStringLiteral("mainGeometry")));
    out.mainState = unbase64(root.value(QStringLiteral("mainState")));
    out.axesPage = root.value(QStringLiteral("axesPage")).toInt(-1);
    out.axesTop = root.value(QStringLiteral("axesTop")).toInt(-1);
    const QJsonArray list = root.value(QStringLiteral("windows")).toArray();
    for (const QJsonValue &v : list) {
        const QJsonObject o = v.toObject();
        Window w;
        w.name = o.value(QStringLiteral("name")).toString();
        if (!o.value(QStringLiteral("unsaved")).toBool(false)) {
            const QString relative = o.value(QStringLiteral("project")).toString();
            const QString absolute = o.value(QStringLiteral("projectAbsolute")).toString();
            const QString near = relative.isEmpty() ? QString() : QDir::cleanPath(here.absoluteFilePath(relative));
            w.project = (!near.isEmpty() && QFileInfo::exists(near)) || absolute.isEmpty() ? near : absolute;
        }
        w.geometry = rect(o.value(QStringLiteral("geometry")));
        w.maximized = o.value(QStringLiteral("maximized")).toBool(false);
        w.minimized = o.value(QStringLiteral("minimized")).toBool(false);
        w.active = o.value(QStringLiteral("active")).toBool(false);
        w.panes = unbase64(o.value(QStringLiteral("panes")));
        w.column = unbase64(o.value(QStringLiteral("column")));
        w.map = MapState::fromJson(o.value(QStringLiteral("map")).toObject());
        w.imagesFrom = o.value(QStringLiteral("imagesFrom")).toString();
        w.imagesTo = o.value(QStringLiteral("imagesTo")).toString();
        w.labelSources = o.value(QStringLiteral("labelSources")).toInt(-1);
        w.labelColumn = o.value(QStringLiteral("labelColumn")).toInt(-1);
        for (int slot = 0; slot < 2; ++slot) {
            const QJsonObject kept = o.value(QLatin1String(kKeptKeys[slot])).toObject();
            w.keptName[slot] = kept.value(QStringLiteral("name")).toString();
            w.kept[slot] = numbers(kept.value(QStringLiteral("images")));
        }
        out.windows.append(w);
    }
    return true;
}
