#include "mailer/TF_Network.h"

#include "connection/DialUp.h"
#include "platform/EnterAsTab.h"
#include "platform/ErrorReport.h"
#include "platform/Prompts.h"
#include "mailer/MailerSession.h"
#include "send/ListHeaders.h"
#include "send/OAuthTokenSource.h"
#include "widgets/Labelling.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// A control with a caption: assistive technology reads the caption, without
// "&", as its name, so no other name is set.
template <typename Control>
Control *captioned(Control *control, const QString &objectName)
{
    control->setObjectName(objectName);
    return control;
}

// One row of a form: the label, tied to its input, and the input carrying the
// label's text as its name and the label's hint as its description.
template <typename Input>
Input *addLabelledRow(QGridLayout *grid, const QString &caption, Input *input, const QString &objectName,
                      const QString &hint = QString())
{
    const int row = grid->rowCount();
    auto *label = new QLabel(caption);
    labelControl(label, input);
    label->setToolTip(hint);
    input->setObjectName(objectName);
    input->setAccessibleDescription(hint);
    grid->addWidget(label, row, 0);
    grid->addWidget(input, row, 1);
    return input;
}

// A whole number of the sending limit: empty or 0 sets no limit.
QLineEdit *limitInput(const QString &objectName, const QString &hint)
{
    auto *input = new QLineEdit;
    input->setObjectName(objectName);
    input->setAccessibleDescription(hint);
    input->setToolTip(hint);
    input->setValidator(new QIntValidator(0, 999999, input));
    input->setMaximumWidth(60);
    return input;
}

QString limitText(int value)
{
    return value > 0 ? QString::number(value) : QString();
}

// Checks or unchecks one of the two connection buttons as the file says. A
// button that is unchecked leaves the other as it is, so when the file names
// neither kind, neither is shown chosen.
void setChosen(QRadioButton *button, bool chosen)
{
    if (chosen) {
        button->setChecked(true);
        return;
    }
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(true);
}

}

TF_Network::TF_Network(TMailerSession &session, QWidget *parent)
    : QWidget(parent),
      m_session(session),
      m_dialUp(new TDialUp(session.CreateDialUpBackend(), this)),
      m_pages(new QTabWidget(this)),
      m_ok(captioned(new QPushButton("OK", this), "bu_Ok")),
      m_cancel(captioned(new QPushButton("Cancel", this), "bu_Cancel"))
{
    setObjectName("F_Network");
    setWindowTitle("Corvane 98 configuration");
    m_dialUp->setDialMode(TDialMode::dmSync);
    m_dialUp->setLanguage(TLanguage::English);
    m_dialUp->OnEntryGet = [this](TDialUp *, const QString &entryName) { DialUpEntryGet(entryName); };

    m_pages->setObjectName("PageControl");
    m_pages->setAccessibleName("Corvane 98 configuration pages");
    m_pages->addTab(createMailPage(), "&Mail setup");
    m_pages->addTab(createConnectionPage(), "&Connection");
    m_signInPage = createSignInPage();
    m_pages->addTab(m_signInPage, "&Sign-in");

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addLayout(buttons);
    connect(m_ok, &QPushButton::clicked, this, &TF_Network::bu_OkClick);
    connect(m_cancel, &QPushButton::clicked, this, &TF_Network::bu_CancelClick);

    EnterAsTab::install(this);
    resize(362, 289);
    ReadDialogSettings();
}

TF_Network::~TF_Network()
{
    if (m_signingIn)
        m_session.Tokens().Browser().Cancel();
}

void TF_Network::closeEvent(QCloseEvent *event)
{
    if (m_signingIn)
        m_session.Tokens().Browser().Cancel();
    QWidget::closeEvent(event);
}

QWidget *TF_Network::createMailPage()
{
    auto *page = new QWidget;
    page->setObjectName("ts_MailSetup");
    const QString serverHint = "Host name or IP address of SMTP server";

    auto *server = new QGroupBox("SMTP Server", page);
    server->setToolTip("SMTP servers send internet mail");
    auto *serverGrid = new QGridLayout(server);
    m_server = addLabelledRow(serverGrid, "Mail server:", new QLineEdit, "ed_Server", serverHint);
    m_port = addLabelledRow(serverGrid, "Port:", new QLineEdit, "ed_Port", serverHint);
    m_security = addLabelledRow(serverGrid, "Security:", new QComboBox, "co_Security",
                                "STARTTLS for port 587, SSL/TLS for port 465; None sends unencrypted");
    // In the order of TSmtpSecurity.
    m_security->addItems({"None", "STARTTLS", "SSL/TLS"});
    m_security->view()->setAccessibleName(m_security->accessibleName());
    m_user = addLabelledRow(serverGrid, "User name:", new QLineEdit, "ed_User",
                            "Login name at the SMTP server; empty for no login");
    m_password = addLabelledRow(serverGrid, "Password:", new QLineEdit, "ed_Password",
                                "Kept in the desktop's secret store; empty keeps the stored password");
    m_password->setEchoMode(QLineEdit::Password);
    m_login = addLabelledRow(serverGrid, "Login:", new QComboBox, "co_Login",
                             "OAuth 2.0: sign in in the browser on the Sign-in page (Google, Microsoft 365)");
    m_login->addItems({"Password", "OAuth 2.0 sign-in"});
    m_login->view()->setAccessibleName(m_login->accessibleName());
    connect(m_login, &QComboBox::currentIndexChanged, this, &TF_Network::co_LoginChange);
    connect(m_user, &QLineEdit::editingFinished, this, &TF_Network::showSignInState);
    serverGrid->addLayout(createLimitRow(), serverGrid->rowCount(), 0, 1, 2);

    auto *personal = new QGroupBox("Personal settings", page);
    auto *personalGrid = new QGridLayout(personal);
    m_name = addLabelledRow(personalGrid, "Your name:", new QLineEdit, "ed_Name");
    m_email = addLabelledRow(personalGrid, "Email address:", new QLineEdit, "ed_EMail",
                             "Return address to use when sending SMTP mail");

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(server);
    layout->addWidget(personal);
    layout->addWidget(createUnsubscribeBox(page));
    layout->addStretch();
    return page;
}

// Where the members' unsubscribe mails go, and the page a click unsubscribes at.
QWidget *TF_Network::createUnsubscribeBox(QWidget *page)
{
    auto *box = new QGroupBox("Unsubscribe", page);
    auto *grid = new QGridLayout(box);
    m_unsubscribeMailto = addLabelledRow(grid, "Unsubscribe mails to:", new QLineEdit, "ed_UnsubscribeMailto",
                                         "Where members' unsubscribe mails go; empty: your own address");
    m_unsubscribeUrl = addLabelledRow(grid, "Unsubscribe page:", new QLineEdit, "ed_UnsubscribeUrl",
                                      "An https address with {token} where one click unsubscribes; empty: none");
    m_unsubscribeUrl->setPlaceholderText("https://example.org/unsubscribe?t={token}");
    // The empty field stands for the address above, and shows which.
    connect(m_email, &QLineEdit::textChanged, m_unsubscribeMailto, &QLineEdit::setPlaceholderText);
    return box;
}

// "Send at most" N "messages per" M "minutes", read as one sentence.
QHBoxLayout *TF_Network::createLimitRow()
{
    const QString hint = "The server takes no more than this; empty or 0: no limit";
    m_rateCount = limitInput("ed_RateCount", hint);
    m_rateMinutes = limitInput("ed_RateMinutes", hint);
    auto *row = new QHBoxLayout;
    for (const auto &[caption, input] : {std::pair{"Send at most", m_rateCount}, std::pair{"messages per", m_rateMinutes}}) {
        auto *label = new QLabel(caption);
        labelControl(label, input);
        label->setToolTip(hint);
        row->addWidget(label);
        row->addWidget(input);
    }
    row->addWidget(new QLabel("minutes"));
    row->addStretch();
    return row;
}

QWidget *TF_Network::createConnectionPage()
{
    auto *page = new QWidget;
    page->setObjectName("ts_Connection");
    auto *group = new QGroupBox("How do you want to connect?", page);
    m_modem = captioned(new QRadioButton("I'm using a modem (or other dialup device)"), "rb_Modem");
    m_autoConnect = captioned(new QCheckBox("Autoconnect to dialup device"), "ch_AutoConnect");
    m_disconnect = captioned(new QCheckBox("Disconnect when finish sending"), "ch_Disconnect");
    m_permanent = captioned(new QRadioButton("I'm using a permanent internet connection (LAN)"), "rb_Permanent");
    m_device = new QComboBox;
    m_device->setEditable(true);
    // Enter moves on; a typed name is kept as the box's text, not added to the list.
    m_device->setInsertPolicy(QComboBox::NoInsert);

    auto *modemControls = new QGridLayout;
    modemControls->setContentsMargins(20, 0, 0, 0);
    modemControls->addWidget(m_autoConnect, 0, 0, 1, 2);
    modemControls->addWidget(m_disconnect, 1, 0, 1, 2);
    addLabelledRow(modemControls, "Dialup device", m_device, "co_Device");
    // The box's own editor and list speak for it too.
    m_device->lineEdit()->setAccessibleName(m_device->accessibleName());
    m_device->view()->setAccessibleName(m_device->accessibleName());
    for (QWidget *control : {static_cast<QWidget *>(m_autoConnect), static_cast<QWidget *>(m_disconnect),
                             static_cast<QWidget *>(m_device)})
        control->setEnabled(false);

    auto *layout = new QVBoxLayout(group);
    layout->addWidget(m_modem);
    layout->addLayout(modemControls);
    layout->addWidget(m_permanent);
    m_permanent->setChecked(true);
    connect(m_modem, &QRadioButton::toggled, this, &TF_Network::rb_ModemClick);
    connect(m_permanent, &QRadioButton::toggled, this, &TF_Network::rb_ModemClick);

    auto *pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(group);
    pageLayout->addStretch();
    return page;
}

QWidget *TF_Network::createSignInPage()
{
    auto *page = new QWidget;
    page->setObjectName("ts_SignIn");
    auto *group = new QGroupBox("OAuth 2.0 sign-in", page);
    auto *grid = new QGridLayout(group);
    m_provider = addLabelledRow(grid, "Provider:", new QComboBox, "co_Provider",
                                "Google and Microsoft are set up; Custom uses the endpoints you enter");
    // In the order of TOAuthProvider::Kind.
    m_provider->addItems({"Google", "Microsoft", "Custom"});
    m_provider->view()->setAccessibleName(m_provider->accessibleName());
    const QString endpointHint = "Given by the provider; entered only for a custom provider";
    m_authUrl = addLabelledRow(grid, "Authorization endpoint:", new QLineEdit, "ed_AuthUrl", endpointHint);
    m_tokenUrl = addLabelledRow(grid, "Token endpoint:", new QLineEdit, "ed_TokenUrl", endpointHint);
    m_scope = addLabelledRow(grid, "Scope:", new QLineEdit, "ed_Scope", endpointHint);
    m_clientId = addLabelledRow(grid, "Client ID:", new QLineEdit, "ed_ClientId",
                                "The client ID you registered with the provider (see the README)");
    m_clientSecret = addLabelledRow(grid, "Client secret:", new QLineEdit, "ed_ClientSecret",
                                    "Only where the provider gave one (Google does); kept in the desktop's secret "
                                    "store; empty keeps the stored one");
    m_clientSecret->setEchoMode(QLineEdit::Password);
    m_signIn = captioned(new QPushButton("Sign in..."), "bu_SignIn");
    const QString signInHint = "Opens the browser to sign in as the User name of the Mail setup page";
    m_signIn->setToolTip(signInHint);
    m_signIn->setAccessibleDescription(signInHint);
    m_signedIn = new QLabel("Not signed in");
    m_signedIn->setObjectName("lb_SignedIn");
    m_signedIn->setWordWrap(true);
    auto *signInRow = new QHBoxLayout;
    signInRow->addWidget(m_signIn);
    signInRow->addWidget(m_signedIn, 1);
    grid->addLayout(signInRow, grid->rowCount(), 0, 1, 2);

    for (QLineEdit *custom : {m_authUrl, m_tokenUrl, m_scope}) {
        connect(custom, &QLineEdit::textEdited, this, [this] {
            if (m_provider->currentIndex() == static_cast<int>(TOAuthProvider::Kind::Custom))
                m_customValues = {m_authUrl->text(), m_tokenUrl->text(), m_scope->text()};
        });
    }
    connect(m_provider, &QComboBox::currentIndexChanged, this, &TF_Network::co_ProviderChange);
    connect(m_signIn, &QPushButton::clicked, this, &TF_Network::bu_SignInClick);

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addStretch();
    return page;
}

void TF_Network::ReadDialogSettings()
{
    TMailerSettings s;
    s.ReadSettings(m_session.IniFileName(), TMailerSettings::DialogDefaults());
    m_server->setText(s.FSmtpServer);
    m_port->setText(s.FSmtpPort);
    showSecurity(s);
    m_user->setText(s.FSmtpUser);
    m_password->clear();
    m_keptPipelining = s.FPipelining;
    m_customValues = {s.FOAuthAuthorizationUrl, s.FOAuthTokenUrl, s.FOAuthScope};
    m_clientId->setText(s.FOAuthClientId);
    m_clientSecret->clear();
    {
        // Both are shown once, as the file has them, below.
        const QSignalBlocker quietLogin(m_login);
        const QSignalBlocker quietProvider(m_provider);
        m_login->setCurrentIndex(s.UsesOAuth() ? OAuthLoginItem : PasswordLoginItem);
        m_provider->setCurrentIndex(
            static_cast<int>(TOAuthProvider::KindFrom(s.FOAuthProvider).value_or(TOAuthProvider::Kind::Google)));
    }
    co_ProviderChange();
    co_LoginChange();
    m_rateCount->setText(limitText(s.FRateCount));
    m_rateMinutes->setText(limitText(s.FRateMinutes));
    m_name->setText(s.FUserName);
    m_email->setText(s.FUserEmail);
    m_unsubscribeMailto->setText(s.FUnsubscribeMailto);
    m_unsubscribeUrl->setText(s.FUnsubscribeUrl);
    setChosen(m_modem, s.FDialModem);
    m_autoConnect->setChecked(s.FDialAutoConnect);
    m_disconnect->setChecked(s.FDialDisconnect);
    m_device->setEditText(s.FDialDevice);
    setChosen(m_permanent, s.FDialLan);
}

TMailerSettings TF_Network::ShownSettings() const
{
    TMailerSettings s;
    s.FSmtpServer = m_server->text();
    s.FSmtpPort = m_port->text();
    s.FSmtpSecurity = m_security->currentIndex() == KeptSecurityItem
                          ? m_keptSecurity
                          : TMailerSettings::SecurityText(static_cast<TSmtpSecurity>(m_security->currentIndex()));
    s.FSmtpUser = m_user->text().trimmed();
    s.FPipelining = m_keptPipelining;
    s.FRateCount = m_rateCount->text().toInt();
    s.FRateMinutes = m_rateMinutes->text().toInt();
    s.FUserName = m_name->text();
    s.FUserEmail = m_email->text();
    s.FUnsubscribeMailto = m_unsubscribeMailto->text().trimmed();
    s.FUnsubscribeUrl = m_unsubscribeUrl->text().trimmed();
    s.FDialModem = m_modem->isChecked();
    s.FDialAutoConnect = m_autoConnect->isChecked();
    s.FDialDisconnect = m_disconnect->isChecked();
    s.FDialDevice = m_device->currentText();
    s.FDialLan = m_permanent->isChecked();
    s.FSmtpLogin = m_login->currentIndex() == OAuthLoginItem ? TMailerSettings::OAuthLogin : QStringLiteral("PASSWORD");
    s.FOAuthProvider = TOAuthProvider::KindText(static_cast<TOAuthProvider::Kind>(m_provider->currentIndex()));
    s.FOAuthAuthorizationUrl = m_customValues.value(0);
    s.FOAuthTokenUrl = m_customValues.value(1);
    s.FOAuthScope = m_customValues.value(2);
    s.FOAuthClientId = m_clientId->text().trimmed();
    return s;
}

bool TF_Network::refusedUnsubscribe(const TMailerSettings &s)
{
    for (const auto &[problem, field] : {std::pair{TListHeaders::mailtoProblem(s.FUnsubscribeMailto), m_unsubscribeMailto},
                                         std::pair{TListHeaders::urlTemplateProblem(s.FUnsubscribeUrl), m_unsubscribeUrl}}) {
        if (problem.isEmpty())
            continue;
        Prompt::error(problem);
        m_pages->setCurrentIndex(0);
        field->setFocus();
        return true;
    }
    return false;
}

void TF_Network::WriteDialogSettings()
{
    ShownSettings().WriteSettings(m_session.IniFileName());
}

TOAuthProvider TF_Network::ShownProvider() const
{
    // The provider box holds only the three kinds there are.
    return *ShownSettings().OAuthProvider();
}

void TF_Network::co_LoginChange()
{
    const bool oauth = m_login->currentIndex() == OAuthLoginItem;
    m_password->setEnabled(!oauth);
    m_signInPage->setEnabled(oauth);
    showSignInState();
}

void TF_Network::co_ProviderChange()
{
    const TOAuthProvider shown = ShownProvider();
    // A preset's values are shown, read-only, so they can be read out.
    const bool custom = shown.kind == TOAuthProvider::Kind::Custom;
    m_authUrl->setText(shown.authorizationEndpoint);
    m_tokenUrl->setText(shown.tokenEndpoint);
    m_scope->setText(shown.scope);
    for (QLineEdit *value : {m_authUrl, m_tokenUrl, m_scope})
        value->setReadOnly(!custom);
    showSignInState();
}

void TF_Network::showSignInState()
{
    const QString user = m_user->text().trimmed();
    const bool signedIn = m_login->currentIndex() == OAuthLoginItem && !user.isEmpty()
                          && m_session.Tokens().SignedIn(ShownProvider(), user);
    m_signedIn->setText(signedIn ? "Signed in as " + user : QStringLiteral("Not signed in"));
}

void TF_Network::bu_SignInClick()
{
    TOAuthTokenSource &tokens = m_session.Tokens();
    if (m_signingIn) {
        tokens.Browser().Cancel();
        return;
    }
    m_signIn->setText("Cancel sign-in");
    m_signedIn->setText("Waiting for the browser...");
    const QPointer<TF_Network> alive(this);
    m_signingIn = true;
    const TOAuthTokenSource::SignInResult result = tokens.SignIn(ShownProvider(), m_user->text(), m_clientSecret->text());
    // The window may have been closed while the browser had the user.
    if (!alive)
        return;
    m_signingIn = false;
    m_signIn->setText("Sign in...");
    if (!result.failure.isEmpty()) {
        showSignInState();
        Prompt::error(result.failure);
        return;
    }
    m_clientSecret->clear();
    showSignInState();
    if (!result.storeError.isEmpty())
        Prompt::warning("The sign-in could not be kept in the desktop's secret store (" + result.storeError
                        + "). It is kept until Corvane 98 ends; sign in again after that.");
}

void TF_Network::showSecurity(const TMailerSettings &s)
{
    if (m_security->count() > KeptSecurityItem)
        m_security->removeItem(KeptSecurityItem);
    m_keptSecurity.clear();
    if (const std::optional<TSmtpSecurity> known = s.SmtpSecurity()) {
        m_security->setCurrentIndex(static_cast<int>(*known));
        return;
    }
    // A value set by hand may mean encryption: shown and written back as it
    // stands until the user chooses a kind, never turned into None.
    m_keptSecurity = s.FSmtpSecurity;
    m_security->addItem(m_keptSecurity);
    m_security->setCurrentIndex(KeptSecurityItem);
}

void TF_Network::warnOfKeptSecurity()
{
    if (m_keptSecurity.isEmpty())
        return;
    Prompt::warning("The Security setting \"" + m_keptSecurity
                    + "\" in CORVAN.INI is not one Corvane 98 knows (None, STARTTLS or SSL/TLS). It is kept as it "
                      "is, and sending refuses it until you choose one.");
}

void TF_Network::SaveClientSecret()
{
    if (m_clientSecret->text().isEmpty())
        return;
    const QString error = m_session.SmtpLogin().Keep(ShownProvider().ClientSecretKey(), m_clientSecret->text());
    if (!error.isEmpty())
        Prompt::warning("The client secret could not be kept in the desktop's secret store (" + error
                        + "). It is kept until Corvane 98 ends.");
}

void TF_Network::SavePassword()
{
    const QString user = m_user->text().trimmed();
    if (user.isEmpty() || m_password->text().isEmpty())
        return;
    const QString error = m_session.SmtpLogin().Save(m_server->text(), user, m_password->text());
    if (!error.isEmpty())
        Prompt::warning("The password could not be kept in the desktop's secret store (" + error
                        + "). It is kept until Corvane 98 ends, and asked for when sending after that.");
}

void TF_Network::rb_ModemClick()
{
    const bool modem = m_modem->isChecked();
    m_autoConnect->setEnabled(modem);
    m_disconnect->setEnabled(modem);
    m_device->setEnabled(modem);
}

void TF_Network::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The window is shown again each time it is restored; the entries are
    // listed once, so neither they nor the user's choice are disturbed.
    if (!m_entriesListed) {
        m_entriesListed = true;
        FormShow();
        warnOfKeptSecurity();
    }
}

void TF_Network::FormShow()
{
    const QString stored = m_device->currentText();
    // Without a phone book (no connection service) the stored name stays.
    if (m_dialUp->GetEntries() != DialUpCode::Success || m_device->count() == 0) {
        m_device->setEditText(stored);
        return;
    }
    // The entry the file names stays chosen; only a name the phone book does
    // not hold gives way to its first entry.
    const int storedIndex = m_device->findText(stored, Qt::MatchExactly);
    m_device->setCurrentIndex(storedIndex >= 0 ? storedIndex : 0);
}

void TF_Network::DialUpEntryGet(const QString &entryName)
{
    m_device->addItem(entryName);
}

void TF_Network::bu_OkClick()
{
    if (refusedUnsubscribe(ShownSettings()))
        return;
    // A key that cannot be written is reported and ends the confirmation:
    // the window stays open with what the user entered.
    reportErrors([this] {
        WriteDialogSettings();
        m_session.LoadSettings();
        SavePassword();
        SaveClientSecret();
        close();
    });
}

void TF_Network::bu_CancelClick()
{
    close();
}
