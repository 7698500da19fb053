#pragma once

#include <QWidget>

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class TDialUp;
class TMailerSession;
struct TMailerSettings;
struct TOAuthProvider;

// The network settings window: the SMTP server, the user's name and address,
// and how the machine connects, read from CORVAN.INI when the window is made
// and written back only by OK, which also has the session read them again.
class TF_Network : public QWidget
{
    Q_OBJECT
public:
    explicit TF_Network(TMailerSession &session, QWidget *parent = nullptr);
    // A sign-in of this window still waiting for the browser is given up.
    ~TF_Network() override;

    // Fills the controls from the file, with the dialog's own defaults.
    void ReadDialogSettings();
    // The settings as the controls show them.
    TMailerSettings ShownSettings() const;
    // Writes every key from the controls; throws EIniFileException at the
    // first key that cannot be written.
    void WriteDialogSettings();
    // Keeps a typed password in the secret store, saying so where no store
    // answers; an empty field leaves the kept password as it is.
    void SavePassword();
    // The same for a typed client secret of the provider shown.
    void SaveClientSecret();
    // The login kind's and the provider's own controls are usable exactly
    // while they apply; a preset shows its endpoints and scope.
    void co_LoginChange();
    void co_ProviderChange();
    // Signs in in the browser with what the window shows; while a sign-in
    // waits for the browser, the same button cancels it.
    void bu_SignInClick();
    // The provider as the window shows it.
    TOAuthProvider ShownProvider() const;
    // The modem's own controls are usable exactly while the modem is chosen.
    void rb_ModemClick();
    // Offers the phone-book entries in the device box.
    void FormShow();
    void DialUpEntryGet(const QString &entryName);
    void bu_OkClick();
    void bu_CancelClick();

    QTabWidget *PageControl() const { return m_pages; }
    QLineEdit *ed_Server() const { return m_server; }
    QLineEdit *ed_Port() const { return m_port; }
    QComboBox *co_Security() const { return m_security; }
    QLineEdit *ed_User() const { return m_user; }
    QLineEdit *ed_Password() const { return m_password; }
    QComboBox *co_Login() const { return m_login; }
    QComboBox *co_Provider() const { return m_provider; }
    QLineEdit *ed_AuthUrl() const { return m_authUrl; }
    QLineEdit *ed_TokenUrl() const { return m_tokenUrl; }
    QLineEdit *ed_Scope() const { return m_scope; }
    QLineEdit *ed_ClientId() const { return m_clientId; }
    QLineEdit *ed_ClientSecret() const { return m_clientSecret; }
    QPushButton *bu_SignIn() const { return m_signIn; }
    QLabel *lb_SignedIn() const { return m_signedIn; }
    QLineEdit *ed_RateCount() const { return m_rateCount; }
    QLineEdit *ed_RateMinutes() const { return m_rateMinutes; }
    QLineEdit *ed_Name() const { return m_name; }
    QLineEdit *ed_EMail() const { return m_email; }
    QLineEdit *ed_UnsubscribeMailto() const { return m_unsubscribeMailto; }
    QLineEdit *ed_UnsubscribeUrl() const { return m_unsubscribeUrl; }
    QRadioButton *rb_Modem() const { return m_modem; }
    QCheckBox *ch_AutoConnect() const { return m_autoConnect; }
    QCheckBox *ch_Disconnect() const { return m_disconnect; }
    QComboBox *co_Device() const { return m_device; }
    QRadioButton *rb_Permanent() const { return m_permanent; }
    QPushButton *bu_Ok() const { return m_ok; }
    QPushButton *bu_Cancel() const { return m_cancel; }

protected:
    void showEvent(QShowEvent *event) override;
    // Closing gives up a sign-in of this window first, so the wait for the
    // browser has ended before the window goes.
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *createMailPage();
    QHBoxLayout *createLimitRow();
    QWidget *createUnsubscribeBox(QWidget *page);
    // Says what is wrong with the unsubscribe settings, with the focus on the
    // field at fault; false when they can be kept.
    bool refusedUnsubscribe(const TMailerSettings &s);
    QWidget *createConnectionPage();
    QWidget *createSignInPage();
    // "Signed in as <user>" when the store holds a sign-in for what the
    // window shows, "Not signed in" otherwise.
    void showSignInState();
    // The security kind of the file in co_Security; a value that names no
    // kind is kept as an item of its own after the three kinds.
    void showSecurity(const TMailerSettings &s);
    // Says so once the window is shown, when the file's value was kept.
    void warnOfKeptSecurity();
    static constexpr int KeptSecurityItem = 3;
    // co_Login's items.
    static constexpr int PasswordLoginItem = 0;
    static constexpr int OAuthLoginItem = 1;

    TMailerSession &m_session;
    TDialUp *m_dialUp;
    bool m_entriesListed = false;
    QTabWidget *m_pages;
    QLineEdit *m_server = nullptr;
    QLineEdit *m_port = nullptr;
    QComboBox *m_security = nullptr;
    QString m_keptSecurity;
    // Set in the file only; OK keeps it as it was.
    bool m_keptPipelining = true;
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QComboBox *m_login = nullptr;
    QComboBox *m_provider = nullptr;
    QLineEdit *m_authUrl = nullptr;
    QLineEdit *m_tokenUrl = nullptr;
    QLineEdit *m_scope = nullptr;
    // A custom provider's values, kept while a preset is shown.
    QStringList m_customValues;
    QLineEdit *m_clientId = nullptr;
    QLineEdit *m_clientSecret = nullptr;
    QWidget *m_signInPage = nullptr;
    QPushButton *m_signIn = nullptr;
    // While a sign-in of this window waits for the browser.
    bool m_signingIn = false;
    QLabel *m_signedIn = nullptr;
    QLineEdit *m_rateCount = nullptr;
    QLineEdit *m_rateMinutes = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_email = nullptr;
    QLineEdit *m_unsubscribeMailto = nullptr;
    QLineEdit *m_unsubscribeUrl = nullptr;
    QRadioButton *m_modem = nullptr;
    QCheckBox *m_autoConnect = nullptr;
    QCheckBox *m_disconnect = nullptr;
    QComboBox *m_device = nullptr;
    QRadioButton *m_permanent = nullptr;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};
