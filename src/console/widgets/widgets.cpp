#include "console/widgets/widgets.h"

#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace smartcar {

QFont face(const QString& family, qreal points, QFont::Weight weight)
{
    static const QHash<QString, QStringList> fallbacks = {
        {QStringLiteral("宋体-PUA"),
         {QStringLiteral("宋体-PUA"), QStringLiteral("SimSun"), QStringLiteral("宋体"),
          QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC")}},
        {QStringLiteral("宋体"),
         {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Zen Hei"),
          QStringLiteral("Noto Sans CJK SC")}},
        {QStringLiteral("华文行楷"),
         {QStringLiteral("华文行楷"), QStringLiteral("STXingkai"), QStringLiteral("KaiTi"),
          QStringLiteral("AR PL UKai CN"), QStringLiteral("WenQuanYi Zen Hei")}},
        {QStringLiteral("Arial Black"),
         {QStringLiteral("Arial Black"), QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
          QStringLiteral("DejaVu Sans")}},
        {QStringLiteral("Times New Roman"),
         {QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"),
          QStringLiteral("DejaVu Serif")}},
        {QStringLiteral("MS Sans Serif"),
         {QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
          QStringLiteral("DejaVu Sans")}},
    };
    QFont f;
    f.setFamilies(fallbacks.value(family, {family}));
    f.setPointSizeF(points);
    f.setWeight(weight);
    return f;
}

void paint(QWidget* w, const QColor& text, const QColor& background)
{
    QPalette pal = w->palette();
    if (text.isValid()) {
        pal.setColor(QPalette::WindowText, text);
        pal.setColor(QPalette::Text, text);
        pal.setColor(QPalette::ButtonText, text);
    }
    if (background.isValid()) {
        pal.setColor(QPalette::Window, background);
        pal.setColor(QPalette::Base, background);
        w->setAutoFillBackground(true);
    }
    w->setPalette(pal);
}

QGroupBox* frame(QWidget* parent, const char* name, const QString& caption, const Twips& at)
{
    auto* g = named(new QGroupBox(caption, parent), name);
    placeTwips(g, at);
    return g;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, const Twips& at)
{
    auto* b = named(new QPushButton(caption, parent), name);
    b->setAutoDefault(false);
    placeTwips(b, at);
    return b;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, const Twips& at,
                    const QFont& font)
{
    QPushButton* b = button(parent, name, caption, at);
    b->setFont(font);
    return b;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, const Twips& at)
{
    auto* l = named(new QLabel(text, parent), name);
    placeTwips(l, at);
    return l;
}

QLineEdit* textBox(QWidget* parent, const char* name, const QString& text, const Twips& at)
{
    auto* e = named(new QLineEdit(text, parent), name);
    placeTwips(e, at);
    return e;
}

QLabel* wrapDownward(QLabel* label)
{
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const int needed = label->heightForWidth(label->width());
    if (needed > label->height())
        label->resize(label->width(), needed);
    return label;
}

} // namespace smartcar
