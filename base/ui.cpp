#include "base/ui.h"

#include "base/placement.h"
#include "db/textcodec.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSvgRenderer>
#include <QToolTip>
#include <QTranslator>
#include <QValidator>
#include <QWidget>

#include <algorithm>
#include <clocale>
#include <cstring>

#include <langinfo.h>

void SetFixedDialog(QWidget *dialog, int width, int height)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                           | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                           | Qt::WindowCloseButtonHint);
    dialog->setFixedSize(width, height);
    dialog->setAutoFillBackground(true);
    QPalette p = dialog->palette();
    p.setColor(QPalette::Window, Qt::white);
    dialog->setPalette(p);
}

void Place(QWidget *control, int left, int top, int width, int height)
{
    if (width < 0 || height < 0) {
        control->adjustSize();
        control->move(left, top);
        return;
    }
    control->setGeometry(left, top, width, height);
}

void UseUtf8CharacterType()
{
    const char *codeset = nl_langinfo(CODESET);
    if (codeset && std::strcmp(codeset, "UTF-8") == 0)
        return;
    // The Firebird client converts file names through the character type; under "C" it
    // drops every byte of a Japanese folder name. C.UTF-8 is always there on Debian.
    std::setlocale(LC_CTYPE, "C.UTF-8");
}

namespace {

template<typename Control>
Control *named(Control *control, const QString &name)
{
    control->setObjectName(name);
    return control;
}

} // namespace

QLabel *AddLabel(QWidget *parent, const QString &name, const QString &text, int left, int top)
{
    QLabel *label = named(new QLabel(text, parent), name);
    Place(label, left, top);
    return label;
}

QLineEdit *AddEdit(QWidget *parent, const QString &name, int left, int top, int width)
{
    QLineEdit *edit = named(new QLineEdit(parent), name);
    Place(edit, left, top, width, 21);
    return edit;
}

QComboBox *AddComboBox(QWidget *parent, const QString &name, int left, int top, int width)
{
    QComboBox *box = named(new QComboBox(parent), name);
    Place(box, left, top, width, 21);
    return box;
}

QPushButton *AddButton(QWidget *parent, const QString &name, const QString &text, int left,
                       int top, int width, int height)
{
    QPushButton *button = named(new QPushButton(text, parent), name);
    Place(button, left, top, width, height);
    return button;
}

QPoint OnScreenPosition(const QPoint &saved, const QSize &size)
{
    // Enough of the title bar to grab it with the mouse.
    const QRect titleStrip(saved, QSize(std::max(size.width(), 1), 20));
    const int needed = std::min(std::max(size.width(), 1), 40);
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (const QScreen *s : screens) {
        const QRect shown = s->availableGeometry().intersected(titleStrip);
        if (shown.width() >= needed && shown.height() >= 10)
            return saved;
    }
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (!primary)
        return saved;
    const QRect area = primary->availableGeometry();
    return area.topLeft()
           + QPoint(std::min(100, area.width() / 4), std::min(100, area.height() / 4));
}

void SetUpApplication()
{
    UseUtf8CharacterType();
    QCoreApplication::setApplicationName(QStringLiteral("k417－Harokan"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPixelSize(13);
    QApplication::setFont(font);
    // Standard buttons and dialogs read はい / いいえ / キャンセル whatever the locale.
    auto *translator = new QTranslator(qApp);
    if (translator->load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
    QApplication::setWindowIcon(ProgramIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("harokan"));
    KeepWindowsOnScreen();
}

QIcon ProgramIcon()
{
    QSvgRenderer drawing(QStringLiteral(":/harokan.svg"));
    QIcon icon;
    if (!drawing.isValid())
        return icon;
    for (const int side : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        drawing.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

namespace {

class Cp932Limit : public QValidator
{
public:
    Cp932Limit(int bytes, QObject *parent) : QValidator(parent), bytes(bytes) {}

    State validate(QString &input, int &) const override
    {
        const QString why = RefusalReason(input, bytes);
        if (!why.isEmpty())
            lastRefusal = why;
        return why.isEmpty() ? Acceptable : Invalid;
    }

    // Why the last refused input was refused; the edit says it when it drops the input.
    mutable QString lastRefusal;

private:
    int bytes;
};

} // namespace

QString RefusalReason(const QString &text, int bytes)
{
    const std::optional<QByteArray> encoded = ToCp932(text);
    if (!encoded) {
        for (qsizetype i = 0; i < text.size();) {
            const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            const QString character = text.mid(i, length);
            if (!ToCp932(character))
                return QStringLiteral("「%1」は使用出来ない文字です。").arg(character);
            i += length;
        }
        return QStringLiteral("使用出来ない文字が含まれています。");
    }
    if (encoded->size() > bytes)
        return QStringLiteral("入力出来るのは半角%1文字（全角%2文字）までです。")
            .arg(bytes)
            .arg(bytes / 2);
    return {};
}

void LimitBytes(QLineEdit *edit, int bytes)
{
    // The byte check alone limits the length: a maximum length would cut a paste short
    // without a word.
    auto *limit = new Cp932Limit(bytes, edit);
    edit->setValidator(limit);
    QObject::connect(edit, &QLineEdit::inputRejected, edit, [edit, limit] {
        if (limit->lastRefusal.isEmpty())
            return;
        QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())), limit->lastRefusal,
                           edit);
    });
}

void NoInputMethod(QWidget *edit)
{
    edit->setAttribute(Qt::WA_InputMethodEnabled, false);
}

namespace {

class DoubleClickFilter : public QObject
{
public:
    DoubleClickFilter(std::function<void()> action, QObject *parent)
        : QObject(parent), action(std::move(action))
    {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonDblClick)
            action();
        return false;
    }

private:
    std::function<void()> action;
};

} // namespace

void OnDoubleClick(QWidget *widget, std::function<void()> action)
{
    widget->installEventFilter(new DoubleClickFilter(std::move(action), widget));
}

QWidget *WindowFrame(QWidget *window)
{
    QWidget *p = window->parentWidget();
    return qobject_cast<QMdiSubWindow *>(p) ? p : window;
}
