// iCalendar files read through libical (time zones, recurrences) behind the small wrappers of
// this file, and written by our own writer (see ICalendar.h for what each field becomes).
#include "ICalendar.h"

#include <libical/ical.h>

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTimeZone>

#include <algorithm>
#include <memory>
#include <utility>

namespace PlanFiles {

namespace {

// The most a calendar may be, as for the other plan files.
constexpr qint64 maxBytes = 64LL * 1024 * 1024;
// How many occurrences of a recurring to-do are looked at for an open one.
constexpr int maxOccurrences = 5000;

const char* const milestoneProperty = "X-FENNICK-MILESTONE";
const char* const projectProperty = "X-FENNICK-PROJECT";
const char* const gapParameter = "X-GAP";

struct ComponentDeleter {
    void operator()(icalcomponent* c) const {
        if (c)
            icalcomponent_free(c);
    }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

QString text(const char* s) {
    return s ? QString::fromUtf8(s) : QString();
}

// A text value without the control characters a text may not hold (line ends and tabs stay).
QString cleaned(const char* s) {
    QString t = text(s);
    t.removeIf([](QChar c) { return c.unicode() < 0x20 && c != QLatin1Char('\n') && c != QLatin1Char('\t'); });
    return t;
}

QString xProperty(icalcomponent* c, const char* name) {
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_X_PROPERTY))
        if (qstricmp(icalproperty_get_x_name(p), name) == 0)
            return text(icalproperty_get_x(p));
    return {};
}

// Unfolded lines (CRLF, LF or CR ends; a line starting with a blank or tab continues the one
// before), with the number of the line each starts on.
struct Line {
    QByteArray text;
    int number;
};

QList<Line> unfold(const QByteArray& bytes) {
    QList<Line> lines;
    int number = 0;
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype end = at;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        ++number;
        const QByteArray line = bytes.mid(at, end - at);
        if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n')
            ++end;
        at = end + 1;
        if (!line.isEmpty() && (line[0] == ' ' || line[0] == '\t') && !lines.isEmpty())
            lines.last().text += line.mid(1);
        else if (!line.trimmed().isEmpty())
            lines.append({line, number});
    }
    return lines;
}

bool inRange(QDate date) {
    return date.isValid() && date.year() >= 1900 && date.year() <= 2999;
}

// A time as the day it is here: a date as it is, a zoned or UTC time converted to the local
// zone, a floating time as written. With dueBy, a time of exactly midnight is the day before
// (due by the start of a day is due by the end of the one before).
QDate dayOf(icaltimetype t, bool dueBy = false) {
    if (icaltime_is_null_time(t) || !icaltime_is_valid_time(t))
        return {};
    if (icaltime_is_date(t))
        return QDate(t.year, t.month, t.day);
    QDateTime local;
    if (icaltime_is_utc(t) || t.zone) {
        const icaltimezone* zone = icaltime_is_utc(t) ? icaltimezone_get_utc_timezone() : t.zone;
        local = QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(t, zone)).toLocalTime();
    } else {
        local = QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
    }
    QDate day = local.date();
    if (dueBy && local.time() == QTime(0, 0))
        day = day.addDays(-1);
    return day;
}

Priority priorityOf(int value) {
    if (value <= 0)
        return Priority::Unknown;
    if (value == 1)
        return Priority::Highest;
    if (value <= 4)
        return Priority::High;
    if (value == 5)
        return Priority::Normal;
    if (value <= 8)
        return Priority::Low;
    return Priority::Lowest;
}

int priorityValue(Priority priority) {
    switch (priority) {
    case Priority::Highest:
        return 1;
    case Priority::High:
        return 2;
    case Priority::Normal:
        return 5;
    case Priority::Low:
        return 8;
    case Priority::Lowest:
        return 9;
    case Priority::Unknown:
        break;
    }
    return 0;
}

bool linkKindOf(const QString& reltype, LinkKind& kind) {
    const QString t = reltype.toUpper();
    if (t == QLatin1String("FINISHTOSTART") || t == QLatin1String("DEPENDS-ON"))
        kind = LinkKind::FinishToStart;
    else if (t == QLatin1String("STARTTOSTART"))
        kind = LinkKind::StartToStart;
    else if (t == QLatin1String("FINISHTOFINISH"))
        kind = LinkKind::FinishToFinish;
    else if (t == QLatin1String("STARTTOFINISH"))
        kind = LinkKind::StartToFinish;
    else
        return false;
    return true;
}

QString reltypeOf(LinkKind kind) {
    switch (kind) {
    case LinkKind::FinishToStart:
        break;
    case LinkKind::StartToStart:
        return QStringLiteral("STARTTOSTART");
    case LinkKind::FinishToFinish:
        return QStringLiteral("FINISHTOFINISH");
    case LinkKind::StartToFinish:
        return QStringLiteral("STARTTOFINISH");
    }
    return QStringLiteral("FINISHTOSTART");
}

// A GAP duration in days (weeks count seven; hours and less are dropped).
int gapDays(const QString& gap) {
    static const QRegularExpression form(QStringLiteral("^([+-]?)P(?:(\\d+)W)?(?:(\\d+)D)?(?:T.*)?$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = form.match(gap.trimmed());
    if (!m.hasMatch())
        return 0;
    const int days = std::min(m.captured(2).toInt() * 7 + m.captured(3).toInt(), 100000);
    return m.captured(1) == QLatin1String("-") ? -days : days;
}

struct Item {
    FileTask task;
    QStringList parents;
    QList<QPair<QString, FileLink>> links; // predecessor UID, link
    bool project = false;
    bool recurring = false;
    QDate made; // CREATED, else DTSTAMP
};

struct Counts {
    int alarms = 0, attendees = 0, categories = 0, recurring = 0, completedDates = 0, events = 0, journals = 0,
        undated = 0, overrides = 0, locations = 0, classes = 0;
};

// The next open occurrence of a recurring component: its start and end days. False when every
// occurrence is done (the last one looked at is given then).
void nextOpenOccurrence(icalcomponent* c, icaltimetype start, const QSet<QDate>& done, QDate completed,
                        icaltimetype& occurrence) {
    icalproperty* rule = icalcomponent_get_first_property(c, ICAL_RRULE_PROPERTY);
    if (!rule || icaltime_is_null_time(start))
        return;
    QSet<QDate> excluded = done;
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_EXDATE_PROPERTY))
        excluded.insert(dayOf(icalproperty_get_exdate(p)));
    icalrecur_iterator* it = icalrecur_iterator_new(icalproperty_get_rrule(rule), start);
    if (!it)
        return;
    icaltimetype last = start;
    for (int n = 0; n < maxOccurrences; ++n) {
        const icaltimetype next = icalrecur_iterator_next(it);
        if (icaltime_is_null_time(next))
            break;
        last = next;
        const QDate day = dayOf(next);
        if (!day.isValid() || excluded.contains(day) || (completed.isValid() && day <= completed))
            continue;
        occurrence = next;
        icalrecur_iterator_free(it);
        return;
    }
    icalrecur_iterator_free(it);
    occurrence = last;
}

// A time whose TZID the file does not define (no VTIMEZONE) gets the zone of that name from the
// system's zone data, an Outlook (Windows) zone name by the IANA zone it stands for.
icaltimetype zoned(icalcomponent* c, icalproperty_kind kind, icaltimetype t) {
    if (icaltime_is_null_time(t) || icaltime_is_date(t) || icaltime_is_utc(t) || t.zone)
        return t;
    icalproperty* p = icalcomponent_get_first_property(c, kind);
    const char* tzid = p ? icalproperty_get_parameter_as_string(p, "TZID") : nullptr;
    if (!tzid || !*tzid)
        return t;
    icaltimezone* zone = icaltimezone_get_builtin_timezone(tzid);
    if (!zone) {
        const QByteArray iana = QTimeZone::windowsIdToDefaultIanaId(QByteArray(tzid));
        if (!iana.isEmpty())
            zone = icaltimezone_get_builtin_timezone(iana.constData());
    }
    if (zone)
        t.zone = zone;
    return t;
}

void readComponent(icalcomponent* c, bool event, const QHash<QString, QSet<QDate>>& doneOccurrences, Item& item,
                   Counts& counts) {
    FileTask& t = item.task;
    t.key = text(icalcomponent_get_uid(c)).trimmed();
    t.name = cleaned(icalcomponent_get_summary(c)).simplified();
    t.notes = cleaned(icalcomponent_get_description(c)).trimmed();
    icaltimetype start = zoned(c, ICAL_DTSTART_PROPERTY, icalcomponent_get_dtstart(c));
    icaltimetype end = event ? icalcomponent_get_dtend(c) : icalcomponent_get_due(c);
    end = zoned(c, event ? ICAL_DTEND_PROPERTY : ICAL_DUE_PROPERTY, end);
    const bool timedEnd = !icaltime_is_null_time(end) && !icaltime_is_date(end);
    if (icalcomponent_get_first_property(c, ICAL_RRULE_PROPERTY)) {
        item.recurring = true;
        ++counts.recurring;
        icalproperty* completedProperty = icalcomponent_get_first_property(c, ICAL_COMPLETED_PROPERTY);
        const QDate completed = completedProperty ? dayOf(icalproperty_get_completed(completedProperty)) : QDate();
        const icaltimetype anchor = icaltime_is_null_time(start) ? end : start;
        icaltimetype occurrence = anchor;
        nextOpenOccurrence(c, anchor, doneOccurrences.value(t.key), completed, occurrence);
        if (!icaltime_is_null_time(start) && !icaltime_is_null_time(end)) {
            const icaldurationtype length = icaltime_subtract(end, start);
            start = occurrence;
            end = icaltime_add(occurrence, length);
        } else if (!icaltime_is_null_time(start)) {
            start = occurrence;
        } else {
            end = occurrence;
        }
    }
    t.start = dayOf(start);
    // An event ends before its DTEND (a date is the day after its last, a time the moment it
    // stops); a to-do is due by its DUE.
    QDate finish = dayOf(end, true);
    if (event && !icaltime_is_null_time(end) && icaltime_is_date(end))
        finish = finish.addDays(-1);
    if (event && timedEnd && !icaltime_is_null_time(start) && icaltime_compare(start, end) == 0)
        finish = dayOf(end);
    t.finish = finish;
    if (!t.start.isValid())
        t.start = t.finish;
    if (!t.finish.isValid() || t.finish < t.start)
        t.finish = t.start;
    if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_CREATED_PROPERTY))
        item.made = dayOf(icalproperty_get_created(p));
    if (!item.made.isValid())
        item.made = dayOf(icalcomponent_get_dtstamp(c));
    t.milestone = xProperty(c, milestoneProperty).trimmed().compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0;
    item.project = xProperty(c, projectProperty).trimmed().compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0;
    if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_PERCENTCOMPLETE_PROPERTY))
        t.percentComplete = std::clamp(icalproperty_get_percentcomplete(p), 0, 100);
    if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_PRIORITY_PROPERTY))
        t.priority = priorityOf(icalproperty_get_priority(p));
    switch (icalcomponent_get_status(c)) {
    case ICAL_STATUS_COMPLETED:
        t.percentComplete = 100;
        t.status = QStringLiteral("Completed");
        break;
    case ICAL_STATUS_CANCELLED:
        t.status = QStringLiteral("Cancelled");
        break;
    case ICAL_STATUS_INPROCESS:
        t.status = QStringLiteral("In Progress");
        break;
    default:
        break;
    }
    if (icalcomponent_get_first_property(c, ICAL_COMPLETED_PROPERTY)) {
        ++counts.completedDates;
        if (!item.recurring) {
            t.percentComplete = 100;
            if (t.status.isEmpty())
                t.status = QStringLiteral("Completed");
        }
    }
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_CATEGORIES_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_CATEGORIES_PROPERTY)) {
        const QString category = text(icalproperty_get_categories(p)).trimmed();
        if (!category.isEmpty())
            t.categories << category;
    }
    counts.categories += t.categories.isEmpty() ? 0 : 1;
    counts.alarms += icalcomponent_count_components(c, ICAL_VALARM_COMPONENT) > 0 ? 1 : 0;
    counts.attendees += icalcomponent_count_properties(c, ICAL_ATTENDEE_PROPERTY) > 0 ? 1 : 0;
    counts.locations += icalcomponent_get_first_property(c, ICAL_LOCATION_PROPERTY) ? 1 : 0;
    if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_CLASS_PROPERTY))
        counts.classes += icalproperty_get_class(p) != ICAL_CLASS_PUBLIC ? 1 : 0;
    for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_RELATEDTO_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_RELATEDTO_PROPERTY)) {
        const QString other = text(icalproperty_get_relatedto(p)).trimmed();
        const QString reltype = text(icalproperty_get_parameter_as_string(p, "RELTYPE")).trimmed();
        LinkKind kind;
        if (other.isEmpty())
            continue;
        if (reltype.isEmpty() || reltype.compare(QLatin1String("PARENT"), Qt::CaseInsensitive) == 0)
            item.parents << other;
        else if (linkKindOf(reltype, kind))
            item.links.append({other, FileLink{other, t.key, kind,
                                               gapDays(text(icalproperty_get_parameter_as_string(p, gapParameter)))}});
    }
}

// libical drops parameters it does not know, RFC 9253's GAP among them: it is renamed to an
// extension parameter, which libical keeps, before the text is parsed.
QByteArray prepared(const QList<Line>& lines) {
    QByteArray out;
    for (const Line& line : lines) {
        QByteArray t = line.text;
        if (t.startsWith("RELATED-TO;") || t.startsWith("related-to;")) {
            const qsizetype colon = t.indexOf(':');
            QByteArray params = t.left(colon < 0 ? t.size() : colon);
            params.replace(";GAP=", ";X-GAP=");
            params.replace(";gap=", ";X-GAP=");
            t = params + (colon < 0 ? QByteArray() : t.mid(colon));
        }
        out += t;
        out += "\r\n";
    }
    return out;
}

// The outline: each to-do under the first of its parents that is in the file and does not make
// a loop; parents before the tasks under them.
void makeOutline(QList<Item>& items, PlanFile& plan) {
    QHash<QString, qsizetype> indexOf;
    for (qsizetype i = 0; i < items.size(); ++i)
        indexOf.insert(items[i].task.key, i);
    for (Item& item : items)
        for (const QString& parent : std::as_const(item.parents))
            if (indexOf.contains(parent) && parent != item.task.key) {
                item.task.parentKey = parent;
                break;
            }
    // A loop of parents is cut at the first of its to-dos in the file.
    for (Item& item : items) {
        QSet<QString> seen;
        QString at = item.task.parentKey;
        while (!at.isEmpty() && !seen.contains(at)) {
            if (at == item.task.key) {
                item.task.parentKey.clear();
                break;
            }
            seen.insert(at);
            at = items[indexOf.value(at)].task.parentKey;
        }
    }
    QHash<QString, QList<qsizetype>> children;
    for (qsizetype i = 0; i < items.size(); ++i)
        children[items[i].task.parentKey] << i;
    QList<qsizetype> order;
    QList<qsizetype> stack = children.value(QString());
    std::reverse(stack.begin(), stack.end());
    while (!stack.isEmpty()) {
        const qsizetype i = stack.takeLast();
        order << i;
        QList<qsizetype> under = children.value(items[i].task.key);
        std::reverse(under.begin(), under.end());
        stack << under;
    }
    for (qsizetype i : order) {
        FileTask t = items[i].task;
        t.summary = children.contains(t.key);
        plan.tasks.append(t);
    }
}

// Text escaped as RFC 5545 says.
QString escaped(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\') || c == QLatin1Char(';') || c == QLatin1Char(','))
            out += QLatin1Char('\\');
        if (c == QLatin1Char('\n')) {
            out += QStringLiteral("\\n");
            continue;
        }
        if (c == QLatin1Char('\r'))
            continue;
        if (c.unicode() < 0x20 && c != QLatin1Char('\t'))
            continue; // control characters are not allowed in a text value
        out += c;
    }
    return out;
}

// One content line, folded at 75 octets (a continuation starts with a blank, which counts) and
// never inside a UTF-8 character.
void appendLine(QByteArray& out, const QString& line) {
    const QByteArray bytes = line.toUtf8();
    qsizetype at = 0;
    qsizetype room = 75;
    while (bytes.size() - at > room) {
        qsizetype cut = at + room;
        while (cut > at && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
            --cut;
        out += bytes.mid(at, cut - at);
        out += "\r\n ";
        at = cut;
        room = 74;
    }
    out += bytes.mid(at);
    out += "\r\n";
}

QString dateValue(QDate date) {
    return date.toString(QStringLiteral("yyyyMMdd"));
}

QString safeDomain(const QString& database) {
    QString domain;
    for (const QChar c : database.toLower())
        domain += (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('.') || c == QLatin1Char('-')
                      ? c
                      : QLatin1Char('-');
    while (domain.contains(QStringLiteral("--")))
        domain.replace(QStringLiteral("--"), QStringLiteral("-"));
    domain = domain.mid(domain.startsWith(QLatin1Char('-')) ? 1 : 0);
    if (domain.endsWith(QLatin1Char('-')))
        domain.chop(1);
    return domain.isEmpty() ? QStringLiteral("fennick-planner") : domain;
}

QString statusOf(const FileTask& t) {
    const QString s = t.status.toLower();
    if (t.percentComplete >= 100 || s.contains(QLatin1String("done")) || s.contains(QLatin1String("complete")) ||
        s.contains(QLatin1String("closed")))
        return QStringLiteral("COMPLETED");
    if (s.contains(QLatin1String("cancel")))
        return QStringLiteral("CANCELLED");
    if (t.percentComplete > 0 || s.contains(QLatin1String("progress")))
        return QStringLiteral("IN-PROCESS");
    return QStringLiteral("NEEDS-ACTION");
}

} // namespace

bool looksLikeICalendar(const QByteArray& head) {
    QByteArray t = head;
    if (t.startsWith("\xEF\xBB\xBF"))
        t = t.mid(3);
    return t.trimmed().left(15).compare("BEGIN:VCALENDAR", Qt::CaseInsensitive) == 0;
}

bool readICalendar(QIODevice& in, PlanFile& plan, QString* error, bool eventsAsTasks) {
    auto fail = [&](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    const QByteArray bytes = in.read(maxBytes + 1);
    if (bytes.size() > maxBytes)
        return fail(QStringLiteral("the file is larger than %1 MB, the most a plan may be.").arg(maxBytes >> 20));
    if (!looksLikeICalendar(bytes.left(1024)))
        return fail(QStringLiteral("not an iCalendar file: it does not begin with BEGIN:VCALENDAR."));
    const QList<Line> lines = unfold(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
    // Every component opened is closed, in order; a file that stops before is cut short.
    QList<QByteArray> open;
    for (const Line& line : lines) {
        const QByteArray t = line.text.trimmed().toUpper();
        if (t.startsWith("BEGIN:")) {
            open << t.mid(6);
            if (open.size() > 50)
                return fail(QStringLiteral("line %1: components are nested too deeply.").arg(line.number));
        } else if (t.startsWith("END:")) {
            if (open.isEmpty() || open.last() != t.mid(4))
                return fail(QStringLiteral("line %1: END:%2 does not close %3.")
                                .arg(line.number)
                                .arg(QString::fromUtf8(t.mid(4)),
                                     open.isEmpty() ? QStringLiteral("any component")
                                                    : QStringLiteral("BEGIN:%1").arg(QString::fromUtf8(open.last()))));
            open.removeLast();
        } else if (t.contains('\0')) {
            return fail(QStringLiteral("line %1 holds a NUL character: this is not a text file.").arg(line.number));
        }
    }
    if (!open.isEmpty())
        return fail(QStringLiteral("the file ends inside BEGIN:%1 (line %2): it is cut short.")
                        .arg(QString::fromUtf8(open.last()))
                        .arg(lines.isEmpty() ? 0 : lines.last().number));

    Component root(icalparser_parse_string(prepared(lines).constData()));
    if (!root)
        return fail(QStringLiteral("the calendar could not be read."));
    std::vector<icalcomponent*> calendars;
    if (icalcomponent_isa(root.get()) == ICAL_VCALENDAR_COMPONENT)
        calendars.push_back(root.get());
    else
        for (icalcomponent* c = icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT); c;
             c = icalcomponent_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT))
            calendars.push_back(c);

    plan.format = QStringLiteral("iCalendar");
    Counts counts;
    QList<Item> items;
    QSet<QString> keys;
    for (icalcomponent* calendar : calendars) {
        if (plan.projectName.isEmpty())
            plan.projectName = xProperty(calendar, "X-WR-CALNAME").simplified();
        // Occurrences an override marks done, by UID.
        QHash<QString, QSet<QDate>> done;
        for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_VTODO_COMPONENT); c;
             c = icalcomponent_get_next_component(calendar, ICAL_VTODO_COMPONENT)) {
            if (!icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY))
                continue;
            const icalproperty_status status = icalcomponent_get_status(c);
            if (status == ICAL_STATUS_COMPLETED || status == ICAL_STATUS_CANCELLED ||
                icalcomponent_get_first_property(c, ICAL_COMPLETED_PROPERTY))
                done[text(icalcomponent_get_uid(c)).trimmed()].insert(dayOf(icalcomponent_get_recurrenceid(c)));
        }
        for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT)) {
            const icalcomponent_kind kind = icalcomponent_isa(c);
            if (kind == ICAL_VJOURNAL_COMPONENT)
                ++counts.journals;
            const bool event = kind == ICAL_VEVENT_COMPONENT;
            if (event && !eventsAsTasks)
                ++counts.events;
            if (kind != ICAL_VTODO_COMPONENT && !(event && eventsAsTasks))
                continue;
            if (icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY)) {
                ++counts.overrides;
                continue;
            }
            Item item;
            readComponent(c, event, done, item, counts);
            // A UID missing or given twice gets one of its own, so that no to-do is lost.
            if (item.task.key.isEmpty() || keys.contains(item.task.key))
                item.task.key = QStringLiteral("#%1").arg(items.size() + 1);
            for (auto& link : item.links)
                link.second.successorKey = item.task.key;
            keys.insert(item.task.key);
            if (item.task.name.isEmpty())
                item.task.name = event ? QStringLiteral("(untitled event)") : QStringLiteral("(untitled to-do)");
            items.append(item);
        }
    }
    if (items.isEmpty()) {
        if (counts.events > 0)
            return fail(QStringLiteral("the calendar holds no to-dos, only events (%1); import its events as tasks "
                                       "to take them.")
                            .arg(counts.events));
        return fail(QStringLiteral("the calendar holds no to-dos."));
    }
    // A project's own to-do, holding every other, names the project.
    qsizetype projectItem = -1;
    for (qsizetype i = 0; i < items.size(); ++i)
        if (items[i].project && items[i].parents.isEmpty())
            projectItem = projectItem < 0 ? i : -2;
    if (projectItem >= 0 && items.size() > 1) {
        const QString key = items[projectItem].task.key;
        const bool holdsAll = std::all_of(items.begin(), items.end(), [&](const Item& item) {
            return item.task.key == key || !item.parents.isEmpty();
        });
        if (holdsAll) {
            plan.projectName = items[projectItem].task.name;
            plan.start = items[projectItem].task.start;
            plan.finish = items[projectItem].task.finish;
            items.removeAt(projectItem);
            for (Item& item : items)
                item.parents.removeAll(key);
        }
    }
    // To-dos without dates go to the file's first date (else the day they were made, else today).
    QDate first;
    for (const Item& item : std::as_const(items))
        if (item.task.start.isValid() && (!first.isValid() || item.task.start < first))
            first = item.task.start;
    for (Item& item : items) {
        FileTask& t = item.task;
        if (!t.start.isValid()) {
            ++counts.undated;
            t.start = t.finish = first.isValid() ? first : item.made.isValid() ? item.made : QDate::currentDate();
        }
        // As for the other plan files: a date far outside a plan's years is a fault of the file (and
        // would make the working-day tables of the span enormous).
        if (!inRange(t.start) || !inRange(t.finish))
            return fail(QStringLiteral("the to-do \"%1\" has a date out of range (%2); dates from 1900 to 2999 are "
                                       "read.")
                            .arg(t.name, (inRange(t.start) ? t.finish : t.start).toString(Qt::ISODate)));
        t.lengthDays = t.milestone ? 0 : std::max(1, plan.calendar.workingDaysBetween(t.start, t.finish));
        if (t.milestone)
            t.finish = t.start;
        t.startNoEarlierThan = t.start;
    }
    makeOutline(items, plan);
    QSet<QString> present;
    for (const FileTask& t : std::as_const(plan.tasks))
        present.insert(t.key);
    QSet<QPair<QString, QString>> linked;
    int droppedLinks = 0;
    for (const Item& item : std::as_const(items))
        for (const auto& link : item.links) {
            if (!present.contains(link.first) || link.first == item.task.key ||
                linked.contains({link.first, item.task.key})) {
                ++droppedLinks;
                continue;
            }
            linked.insert({link.first, item.task.key});
            plan.links.append(link.second);
        }
    for (const FileTask& t : std::as_const(plan.tasks)) {
        if (!plan.start.isValid() || t.start < plan.start)
            plan.start = t.start;
        if (!plan.finish.isValid() || t.finish > plan.finish)
            plan.finish = t.finish;
    }
    auto note = [&](int count, QString what) {
        if (count <= 0)
            return;
        if (count == 1) // "1 to-do", not "1 to-dos"
            for (const auto& [many, one] : {std::pair{"links to to-dos", "link to a to-do"},
                                            {"to-dos", "to-do"},
                                            {"occurrences", "occurrence"},
                                            {"events", "event"},
                                            {"entries", "entry"},
                                            {"links", "link"}})
                what.replace(QLatin1String(many), QLatin1String(one));
        plan.notKept << what.arg(count);
    };
    note(counts.recurring, QStringLiteral("%1 recurring to-dos: each is imported as its next open occurrence; "
                                          "the planner keeps no repeat rule."));
    note(counts.overrides, QStringLiteral("%1 changed occurrences of recurring to-dos: only their state is used."));
    note(counts.alarms, QStringLiteral("Reminders (alarms) of %1 to-dos: the planner keeps none."));
    note(counts.attendees, QStringLiteral("Attendees of %1 to-dos: tasks are assigned in the planner."));
    note(counts.categories, QStringLiteral("Categories of %1 to-dos: a task has none of its own."));
    note(counts.locations, QStringLiteral("Locations of %1 to-dos: a task has none."));
    note(counts.classes, QStringLiteral("The private or confidential mark (CLASS) of %1 to-dos: every task is "
                                        "seen by all who open the database."));
    note(counts.completedDates, QStringLiteral("The completion dates of %1 to-dos: a task keeps its percent only."));
    note(counts.undated, QStringLiteral("%1 to-dos without dates: put at the project's start."));
    note(counts.events, QStringLiteral("%1 events: not imported unless events are imported as tasks."));
    note(counts.journals, QStringLiteral("%1 journal entries: the planner keeps none."));
    note(droppedLinks, QStringLiteral("%1 links to to-dos not in the file (or given twice)."));
    return true;
}

bool writeICalendar(QIODevice& out, const PlanFile& plan) {
    QByteArray bytes;
    const QString domain = safeDomain(plan.database);
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    // Keys are the database's IDs, a project's with a P before it.
    static const QRegularExpression projectKeyForm(QStringLiteral("^P\\d+$"));
    auto isProject = [](const QString& key) { return projectKeyForm.match(key).hasMatch(); };
    auto uidOf = [&](const QString& key) {
        if (isProject(key))
            return QStringLiteral("project-%1@%2").arg(key.mid(1), domain);
        return escaped(QStringLiteral("task-%1@%2").arg(key, domain));
    };
    appendLine(bytes, QStringLiteral("BEGIN:VCALENDAR"));
    appendLine(bytes, QStringLiteral("VERSION:2.0"));
    appendLine(bytes, QStringLiteral("PRODID:-//Fennick//Fennick Planner//EN"));
    appendLine(bytes, QStringLiteral("CALSCALE:GREGORIAN"));
    if (!plan.projectName.isEmpty())
        appendLine(bytes, QStringLiteral("X-WR-CALNAME:") + escaped(plan.projectName));
    QHash<QString, QList<const FileLink*>> linksTo;
    for (const FileLink& link : plan.links)
        linksTo[link.successorKey] << &link;
    auto writeTodo = [&](const FileTask& t, const QString& parentUid, bool project) {
        appendLine(bytes, QStringLiteral("BEGIN:VTODO"));
        appendLine(bytes, QStringLiteral("UID:") + uidOf(t.key));
        appendLine(bytes, QStringLiteral("DTSTAMP:") + stamp);
        appendLine(bytes, QStringLiteral("SUMMARY:") + escaped(t.name));
        if (!t.notes.isEmpty())
            appendLine(bytes, QStringLiteral("DESCRIPTION:") + escaped(t.notes));
        if (t.start.isValid())
            appendLine(bytes, QStringLiteral("DTSTART;VALUE=DATE:") + dateValue(t.start));
        const QDate due = t.milestone || !t.finish.isValid() || t.finish < t.start ? t.start : t.finish;
        if (due.isValid())
            appendLine(bytes, QStringLiteral("DUE;VALUE=DATE:") + dateValue(due));
        appendLine(bytes, QStringLiteral("PERCENT-COMPLETE:%1").arg(std::clamp(t.percentComplete, 0, 100)));
        if (const int priority = priorityValue(t.priority))
            appendLine(bytes, QStringLiteral("PRIORITY:%1").arg(priority));
        appendLine(bytes, QStringLiteral("STATUS:") + statusOf(t));
        if (!t.categories.isEmpty()) {
            QStringList values;
            for (const QString& c : t.categories)
                values << escaped(c);
            appendLine(bytes, QStringLiteral("CATEGORIES:") + values.join(QLatin1Char(',')));
        }
        if (!parentUid.isEmpty())
            appendLine(bytes, QStringLiteral("RELATED-TO;RELTYPE=PARENT:") + parentUid);
        for (const FileLink* link : linksTo.value(t.key)) {
            QString gap;
            if (link->lagDays != 0)
                gap = QStringLiteral(";GAP=%1P%2D")
                          .arg(link->lagDays < 0 ? QStringLiteral("-") : QString())
                          .arg(std::abs(link->lagDays));
            appendLine(bytes, QStringLiteral("RELATED-TO;RELTYPE=%1%2:%3")
                                  .arg(reltypeOf(link->kind), gap, uidOf(link->predecessorKey)));
        }
        if (t.milestone)
            appendLine(bytes, QString::fromLatin1(milestoneProperty) + QStringLiteral(":TRUE"));
        if (project)
            appendLine(bytes, QString::fromLatin1(projectProperty) + QStringLiteral(":TRUE"));
        appendLine(bytes, QStringLiteral("END:VTODO"));
    };
    // One project exported: its own to-do above its tasks.
    QString topUid;
    if (!plan.projectKey.isEmpty()) {
        FileTask project;
        project.key = plan.projectKey;
        project.name = plan.projectName;
        project.start = plan.start;
        project.finish = plan.finish.isValid() ? plan.finish : plan.start;
        for (const FileTask& t : plan.tasks) {
            if (!project.start.isValid() || t.start < project.start)
                project.start = t.start;
            if (!project.finish.isValid() || t.finish > project.finish)
                project.finish = t.finish;
        }
        project.categories = plan.categories;
        project.summary = true;
        writeTodo(project, QString(), true);
        topUid = uidOf(plan.projectKey);
    }
    for (const FileTask& t : plan.tasks) {
        const bool project = plan.projectKey.isEmpty() && isProject(t.key);
        writeTodo(t, t.parentKey.isEmpty() ? topUid : uidOf(t.parentKey), project);
    }
    appendLine(bytes, QStringLiteral("END:VCALENDAR"));
    return out.write(bytes) == bytes.size();
}

} // namespace PlanFiles

namespace PlanFiles {

QString todoUid(const QString& taskKey, const QString& database) {
    return QStringLiteral("task-%1@%2").arg(taskKey, safeDomain(database));
}

QString todoStatus(const FileTask& task) {
    return statusOf(task);
}

namespace {

// Replaces every property of the kind with the one given (none: removes them).
void replaceProperty(icalcomponent* c, icalproperty_kind kind, icalproperty* value) {
    while (icalproperty* p = icalcomponent_get_first_property(c, kind)) {
        icalcomponent_remove_property(c, p);
        icalproperty_free(p);
    }
    if (value)
        icalcomponent_add_property(c, value);
}

icaltimetype dayValue(QDate date) {
    icaltimetype t = icaltime_null_date();
    t.year = date.year();
    t.month = date.month();
    t.day = date.day();
    t.is_date = 1;
    return t;
}

// Moves a DTSTART's or DUE's day, keeping its time of day, its time zone and its value type.
void moveDays(icalproperty* p, int days) {
    const bool start = icalproperty_isa(p) == ICAL_DTSTART_PROPERTY;
    icaltimetype value = start ? icalproperty_get_dtstart(p) : icalproperty_get_due(p);
    icaltime_adjust(&value, days, 0, 0, 0);
    if (start)
        icalproperty_set_dtstart(p, value);
    else
        icalproperty_set_due(p, value);
}

icalproperty_status statusKind(const QString& status) {
    if (status == QLatin1String("COMPLETED"))
        return ICAL_STATUS_COMPLETED;
    if (status == QLatin1String("CANCELLED"))
        return ICAL_STATUS_CANCELLED;
    if (status == QLatin1String("IN-PROCESS"))
        return ICAL_STATUS_INPROCESS;
    return ICAL_STATUS_NEEDSACTION;
}

} // namespace

QByteArray writeTodo(const FileTask& t, const QString& uid, const QString& parentUid, const QByteArray& previous) {
    Component root;
    icalcomponent* todo = nullptr;
    if (!previous.isEmpty()) {
        root.reset(icalparser_parse_string(previous.constData()));
        if (root && icalcomponent_isa(root.get()) == ICAL_VCALENDAR_COMPONENT)
            for (icalcomponent* c = icalcomponent_get_first_component(root.get(), ICAL_VTODO_COMPONENT); c && !todo;
                 c = icalcomponent_get_next_component(root.get(), ICAL_VTODO_COMPONENT))
                if (!icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY))
                    todo = c; // the to-do itself, not a changed occurrence
    }
    if (!todo) {
        root.reset(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
        icalcomponent_add_property(root.get(), icalproperty_new_version("2.0"));
        icalcomponent_add_property(root.get(), icalproperty_new_prodid("-//Fennick//Fennick Planner//EN"));
        todo = icalcomponent_new(ICAL_VTODO_COMPONENT);
        icalcomponent_add_component(root.get(), todo);
        icalcomponent_set_uid(todo, uid.toUtf8().constData());
        if (!parentUid.isEmpty()) {
            icalproperty* p = icalproperty_new_relatedto(parentUid.toUtf8().constData());
            icalproperty_add_parameter(p, icalparameter_new_reltype(ICAL_RELTYPE_PARENT));
            icalcomponent_add_property(todo, p);
        }
        if (const int priority = priorityValue(t.priority))
            icalcomponent_add_property(todo, icalproperty_new_priority(priority));
        if (t.milestone) {
            icalproperty* p = icalproperty_new_x("TRUE");
            icalproperty_set_x_name(p, milestoneProperty);
            icalcomponent_add_property(todo, p);
        }
    }
    const icaltimetype now = icaltime_current_time_with_zone(icaltimezone_get_utc_timezone());
    icalcomponent_set_dtstamp(todo, now);
    replaceProperty(todo, ICAL_LASTMODIFIED_PROPERTY, icalproperty_new_lastmodified(now));
    replaceProperty(todo, ICAL_SUMMARY_PROPERTY, icalproperty_new_summary(t.name.toUtf8().constData()));
    replaceProperty(todo, ICAL_DESCRIPTION_PROPERTY,
                    t.notes.isEmpty() ? nullptr : icalproperty_new_description(t.notes.toUtf8().constData()));
    // Dates change only where the day changed, in the form the to-do has: a time of day another
    // program gave it stays (moved by whole days with its day), and a to-do that has only a due
    // time (as many programs write them) gets no start while it lasts one day.
    const QDate due = t.milestone || !t.finish.isValid() || t.finish < t.start ? t.start : t.finish;
    icalproperty* startProperty = icalcomponent_get_first_property(todo, ICAL_DTSTART_PROPERTY);
    icalproperty* dueProperty = icalcomponent_get_first_property(todo, ICAL_DUE_PROPERTY);
    const QDate ownStart = dayOf(zoned(todo, ICAL_DTSTART_PROPERTY, icalcomponent_get_dtstart(todo)));
    const QDate ownDue = dayOf(zoned(todo, ICAL_DUE_PROPERTY, icalcomponent_get_due(todo)), true);
    // The days as reading the to-do gives them.
    const QDate oldStart = ownStart.isValid() ? ownStart : ownDue;
    const QDate oldDue = ownDue.isValid() && ownDue >= oldStart ? ownDue : oldStart;
    if (t.start.isValid() && (oldStart != t.start || oldDue != due)) {
        if (!dueProperty || (startProperty && !ownStart.isValid())) {
            // A DURATION, or dates this program cannot read: written anew as whole days.
            replaceProperty(todo, ICAL_DTSTART_PROPERTY, icalproperty_new_dtstart(dayValue(t.start)));
            replaceProperty(todo, ICAL_DURATION_PROPERTY, nullptr);
            replaceProperty(todo, ICAL_DUE_PROPERTY, icalproperty_new_due(dayValue(due)));
        } else {
            if (ownDue != due)
                moveDays(dueProperty, ownDue.daysTo(due));
            if (startProperty && ownStart != t.start) {
                moveDays(startProperty, ownStart.daysTo(t.start));
            } else if (!startProperty && t.start != due) {
                // A start of the due's own form (RFC 5545 wants both of one value type).
                icalproperty* start = icalproperty_new_dtstart(icalproperty_get_due(dueProperty));
                if (const char* zone = icalproperty_get_parameter_as_string(dueProperty, "TZID"))
                    icalproperty_add_parameter(start, icalparameter_new_tzid(zone));
                icalcomponent_add_property(todo, start);
                moveDays(start, due.daysTo(t.start));
            }
        }
    }
    replaceProperty(todo, ICAL_PERCENTCOMPLETE_PROPERTY,
                    icalproperty_new_percentcomplete(std::clamp(t.percentComplete, 0, 100)));
    const icalproperty_status status = statusKind(statusOf(t));
    replaceProperty(todo, ICAL_STATUS_PROPERTY, icalproperty_new_status(status));
    if (status != ICAL_STATUS_COMPLETED)
        replaceProperty(todo, ICAL_COMPLETED_PROPERTY, nullptr);
    else if (!icalcomponent_get_first_property(todo, ICAL_COMPLETED_PROPERTY))
        icalcomponent_add_property(todo, icalproperty_new_completed(now));
    return QByteArray(icalcomponent_as_ical_string(root.get()));
}

} // namespace PlanFiles
