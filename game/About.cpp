#include "game/About.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "platform/AppInfo.h"
#include "game/Artwork.h"

TAboutBox* AboutBox = nullptr;

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("О программе"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(326, 200);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);

    ProgramIcon = new sor::TImage(QStringLiteral("ProgramIcon"), sor::art::paintLogo, Panel1);
    ProgramIcon->setFixedHeight(56);
    ProgramIcon->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    ProgramIcon->setAccessibleName(QStringLiteral("Эмблема игры"));
    // The logo is drawn for the game's black stage.
    ProgramIcon->setAutoFillBackground(true);
    QPalette stage = ProgramIcon->palette();
    stage.setColor(QPalette::Window, Qt::black);
    ProgramIcon->setPalette(stage);

    ProductName = new QLabel(sor::appTitle(), Panel1);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont bold = ProductName->font();
    bold.setBold(true);
    ProductName->setFont(bold);
    ProductName->setWordWrap(true);
    lblVersion = new QLabel(QStringLiteral("1.1.1.1"), Panel1);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    Copyright = new QLabel(QStringLiteral("Разработчик: команда клиента Sorventa"), Panel1);
    Copyright->setObjectName(QStringLiteral("Copyright"));
    Copyright->setWordWrap(true);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setAccessibleName(QStringLiteral("OK"));
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    connect(OKButton, &QPushButton::clicked, this, [this] { done(1); });

    auto* panel = new QVBoxLayout(Panel1);
    panel->addWidget(ProgramIcon);
    for (QLabel* l : {ProductName, lblVersion, Copyright}) {
        l->setAlignment(Qt::AlignHCenter);
        panel->addWidget(l);
    }
    panel->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    buttons->addStretch(1);
    auto* column = new QVBoxLayout(this);
    column->addWidget(Panel1, 1);
    column->addLayout(buttons);

    for (QLabel* l : {ProductName, lblVersion, Copyright})
        l->setAccessibleName(l->text());

    FormCreate();
    AboutBox = this;
}

TAboutBox::~TAboutBox()
{
    if (AboutBox == this)
        AboutBox = nullptr;
}

void TAboutBox::FormCreate()
{
    lblVersion->setText(sor::appVersion());
    lblVersion->setAccessibleName(QStringLiteral("Версия ") + sor::appVersion());
}

int ShowAboutBox(QWidget* mainWindow)
{
    QPointer<TAboutBox> about = new TAboutBox(mainWindow);
    QScreen* screen = mainWindow ? mainWindow->screen() : QGuiApplication::primaryScreen();
    if (screen)
        about->move(screen->availableGeometry().center() - about->rect().center());
    const int result = about->exec();
    if (!about)
        return 0;
    delete about.data();
    return result;
}
