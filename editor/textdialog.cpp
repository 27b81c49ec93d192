#include "editor/textdialog.h"

#include "base/appcontext.h"
#include "base/ui.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

#include <cmath>

namespace {

// The character heights of the JIS series, in mm.
const char *const Series[] = {"2.5", "3.5", "5", "7", "10"};
constexpr int MostTextBytes = 255;

QString shown(double v)
{
    return QString::number(v, 'g', 10);
}

bool number(const QString &text, double &v)
{
    bool ok = false;
    v = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(v);
}

} // namespace

TextDialog::TextDialog(Messages &messages, QWidget *parent)
    : QDialog(parent), messages(messages)
{
    setObjectName(QStringLiteral("TextDialog"));
    setWindowTitle(QStringLiteral("文字"));
    auto *grid = new QGridLayout(this);
    TextEdit = new QLineEdit(this);
    TextEdit->setObjectName(QStringLiteral("TextEdit"));
    TextEdit->setMinimumWidth(320);
    LimitBytes(TextEdit, MostTextBytes);
    const auto series = [this](const char *name) {
        auto *box = new QComboBox(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setEditable(true);
        box->setCompleter(nullptr); // what is typed is taken as typed
        for (const char *s : Series)
            box->addItem(QString::fromLatin1(s));
        NoInputMethod(box);
        return box;
    };
    HeightBox = series("HeightBox");
    WidthBox = series("WidthBox");
    WidthBox->insertItem(0, QStringLiteral("0"));
    SpacingEdit = new QLineEdit(this);
    SpacingEdit->setObjectName(QStringLiteral("SpacingEdit"));
    AngleEdit = new QLineEdit(this);
    AngleEdit->setObjectName(QStringLiteral("AngleEdit"));
    NoInputMethod(SpacingEdit);
    NoInputMethod(AngleEdit);
    Horizontal = new QRadioButton(QStringLiteral("横書き(&H)"), this);
    Vertical = new QRadioButton(QStringLiteral("縦書き(&V)"), this);
    auto *anchors = new QWidget(this);
    auto *keypad = new QGridLayout(anchors);
    keypad->setSpacing(1);
    keypad->setContentsMargins(0, 0, 0, 0);
    Anchors = new QButtonGroup(this);
    const char *const marks[9] = {"↙", "↓", "↘", "←", "・", "→", "↖", "↑", "↗"};
    for (int id = 1; id <= 9; ++id) {
        auto *b = new QToolButton(anchors);
        b->setObjectName(QStringLiteral("Anchor%1").arg(id));
        b->setText(QString::fromUtf8(marks[id - 1]));
        b->setCheckable(true);
        b->setFixedSize(24, 24);
        Anchors->addButton(b, id);
        // 7 8 9 on top, 1 2 3 at the bottom.
        keypad->addWidget(b, 2 - (id - 1) / 3, (id - 1) % 3);
    }
    FontBox = new QComboBox(this);
    FontBox->setObjectName(QStringLiteral("FontBox"));
    FontBox->addItem(QStringLiteral("（標準）"));
    for (const QString &family : QFontDatabase::families(QFontDatabase::Japanese))
        FontBox->addItem(family);
    int row = 0;
    const auto add = [&](const QString &caption, QWidget *w) {
        grid->addWidget(new QLabel(caption, this), row, 0);
        grid->addWidget(w, row++, 1);
    };
    add(QStringLiteral("文字"), TextEdit);
    add(QStringLiteral("高さ(mm)"), HeightBox);
    add(QStringLiteral("幅(mm) 0:標準"), WidthBox);
    add(QStringLiteral("間隔(mm)"), SpacingEdit);
    add(QStringLiteral("角度(度)"), AngleEdit);
    auto *direction = new QWidget(this);
    auto *directionRow = new QHBoxLayout(direction);
    directionRow->setContentsMargins(0, 0, 0, 0);
    directionRow->addWidget(Horizontal);
    directionRow->addWidget(Vertical);
    add(QStringLiteral("方向"), direction);
    add(QStringLiteral("基準点"), anchors);
    add(QStringLiteral("書体"), FontBox);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TextDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TextDialog::reject);
    grid->addWidget(buttons, row, 0, 1, 2);
    TextShape start;
    start.height = 3.5;
    SetValue(start);
}

void TextDialog::SetValue(const TextShape &text)
{
    value = text;
    TextEdit->setText(text.text);
    HeightBox->setCurrentText(shown(text.height));
    WidthBox->setCurrentText(shown(text.width));
    SpacingEdit->setText(shown(text.spacing));
    AngleEdit->setText(shown(text.angle));
    (text.vertical ? Vertical : Horizontal)->setChecked(true);
    if (QAbstractButton *b = Anchors->button(text.anchor >= 1 && text.anchor <= 9 ? text.anchor : 1))
        b->setChecked(true);
    const int font = text.font.isEmpty() ? 0 : FontBox->findText(text.font);
    if (font < 0)
        FontBox->addItem(text.font); // a font this PC lacks stays as it was
    FontBox->setCurrentIndex(font < 0 ? FontBox->count() - 1 : font);
}

QString TextDialog::Check()
{
    const auto fail = [](QWidget *w, const QString &message) {
        w->setFocus();
        return message;
    };
    TextShape t = value;
    t.text = TextEdit->text();
    if (t.text.trimmed().isEmpty())
        return fail(TextEdit, QStringLiteral("文字を入力して下さい"));
    const QString refused = RefusalReason(t.text, MostTextBytes);
    if (!refused.isEmpty())
        return fail(TextEdit, refused);
    if (!number(HeightBox->currentText(), t.height) || !(t.height > 0) || t.height > 1e6)
        return fail(HeightBox, QStringLiteral("文字の高さは正の数値を入力して下さい"));
    if (!number(WidthBox->currentText(), t.width) || t.width < 0 || t.width > 1e6)
        return fail(WidthBox, QStringLiteral("文字の幅は0以上の数値を入力して下さい"));
    if (!number(SpacingEdit->text(), t.spacing) || t.spacing < 0 || t.spacing > 1e6)
        return fail(SpacingEdit, QStringLiteral("文字の間隔は0以上の数値を入力して下さい"));
    if (!number(AngleEdit->text(), t.angle))
        return fail(AngleEdit, QStringLiteral("角度は数値を入力して下さい"));
    t.angle = std::fmod(t.angle, 360.0);
    if (t.angle < 0)
        t.angle += 360;
    t.vertical = Vertical->isChecked() ? 1 : 0;
    t.anchor = int16_t(std::max(1, Anchors->checkedId()));
    t.font = FontBox->currentIndex() == 0 ? QString() : FontBox->currentText();
    t.style = 0;
    value = t;
    return QString();
}

void TextDialog::accept()
{
    const QString message = Check();
    if (!message.isEmpty()) {
        messages.Show(message);
        return;
    }
    QDialog::accept();
}
