#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include "QtTestMain.h"
#include "WindowFakes.h"
#include "platform/OnTop.h"
#include "settings/OptionsDialog.h"
#include "settings/SettingsStore.h"

using namespace tallowby;

namespace {

const QString kApp = QStringLiteral("Tallowby");

QString Stored(testing::MemorySettings& backend, const QString& key) {
    return backend.values.value(testing::MemorySettings::Address(kApp, kSectionData, key),
                                QStringLiteral("<missing>"));
}

}  // namespace

class OptionsDialogTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        backend_ = std::make_unique<testing::MemorySettings>();
        store_ = std::make_unique<SettingsStore>(*backend_);
        settings_ = AppSettings{};
        LoadSettings(*store_, kApp, settings_);
        backend_->reads.clear();
        opener_ = std::make_unique<OptionsDialogOpener>(*store_, kApp, settings_);
    }
    void cleanup() {
        opener_.reset();
        testing::ProcessDeletes();
    }

    void FirstRunShowsThePlaceholderAndAllTicked() {
        Form2* dialog = opener_->Open();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Options"));
        QCOMPARE(dialog->Text1()->text(), strPlaceholderDomain);
        QVERIFY(dialog->Check1()->isChecked());
        QVERIFY(dialog->Check2()->isChecked());
        QVERIFY(dialog->Check3()->isChecked());
        QVERIFY(!dialog->Check4()->isChecked());
        QVERIFY(!dialog->Check5()->isChecked());
        QVERIFY(dialog->isVisible());
        QVERIFY(IsOnTop(dialog));
        QVERIFY(dialog->width() >= 312);
        QVERIFY(dialog->height() > 213);  // grown to hold the referrer rules
        // Every control whole inside the dialog, its caption uncut.
        for (QWidget* box : {(QWidget*)dialog->Check4(), (QWidget*)dialog->Check5(),
                             (QWidget*)dialog->Check6(), (QWidget*)dialog->Check7(),
                             (QWidget*)dialog->Check8(), (QWidget*)dialog->Command1()}) {
            const QRect inDialog(box->mapTo(dialog, QPoint(0, 0)), box->size());
            QVERIFY(dialog->rect().contains(inDialog));
            QVERIFY(box->width() >= box->sizeHint().width());
        }
        QVERIFY(!(dialog->windowFlags() & Qt::WindowMinMaxButtonsHint));
        QVERIFY(backend_->reads.isEmpty());  // shows what the program holds, not the store
    }

    void ShowsTheControlsInTheirOrder() {
        Form2* dialog = opener_->Open();
        QStringList labels;
        for (const QLabel* label : dialog->findChildren<QLabel*>()) {
            labels << label->text();
        }
        QVERIFY(labels.contains("Enter your domain:"));
        QVERIFY(labels.contains("[i.e. example.com, without http:// or www]"));
        QVERIFY(labels.contains(
            "This will ensure that your site does not show up in the referer list."));
        QCOMPARE(dialog->Check1()->text(),
                 QStringLiteral("Display Common Filetypes [img] [zip] [exe]"));
        QCOMPARE(dialog->Check2()->text(), QStringLiteral("Remove Duplicates"));
        QCOMPARE(dialog->Check3()->text(), QStringLiteral("Display statistics after completion"));
        QCOMPARE(dialog->Check4()->text(), QStringLiteral("Also find https:// referrers"));
        QCOMPARE(dialog->Check5()->text(),
                 QStringLiteral("End quoted referrers at the closing quote (Apache, nginx)"));
        QCOMPARE(dialog->Check7()->text(),
                 QStringLiteral("Read the referrer field of known log formats"));
        QCOMPARE(dialog->Check8()->text(), QStringLiteral("Leave out crawlers"));
        QCOMPARE(dialog->Command1()->text(), QStringLiteral("Ok"));
        QList<QWidget*> order;
        QWidget* w = dialog->Text1();
        do {
            if (w->focusPolicy() & Qt::TabFocus) {
                order << w;
            }
            w = w->nextInFocusChain();
        } while (w != dialog->Text1());
        QCOMPARE(order, (QList<QWidget*>{dialog->Text1(), dialog->Check1(), dialog->Check2(),
                                         dialog->Check3(), dialog->Check4(), dialog->Check5(),
                                         dialog->Check6(), dialog->Check7(), dialog->Check8(),
                                         dialog->Command1()}));
    }

    void LoadsFromTheProgramsSettingsNotTheStore() {
        store_->SaveSetting(kApp, kSectionData, kKeyRemoveDupes, QStringLiteral("1"));
        settings_ = AppSettings{QStringLiteral("mine.example"), true, false, true};
        Form2* dialog = opener_->Open();
        QCOMPARE(dialog->Text1()->text(), QStringLiteral("mine.example"));
        QVERIFY(dialog->Check1()->isChecked());
        QVERIFY(!dialog->Check2()->isChecked());
        QVERIFY(dialog->Check3()->isChecked());
    }

    void OkStoresExactlyWhatWasTypedAndReloads_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("blanks and capitals") << " My-Site.COM ";
        QTest::newRow("scheme and www kept") << "http://www.example.org";
        QTest::newRow("empty") << "";
    }
    void OkStoresExactlyWhatWasTypedAndReloads() {
        QFETCH(QString, typed);
        int saved = 0;
        opener_->setOnSaved([&saved] { ++saved; });
        Form2* dialog = opener_->Open();
        QSignalSpy spy(dialog, &Form2::settingsSaved);
        dialog->Text1()->setText(typed);
        dialog->Check2()->setChecked(false);
        QTest::mouseClick(dialog->Command1(), Qt::LeftButton);

        QCOMPARE(backend_->writes,
                 (QStringList{"Tallowby|data|strYourWebsite=" + typed,
                              "Tallowby|data|bGetFileTypes=1", "Tallowby|data|bRemoveDupes=0",
                              "Tallowby|data|bDisplayStats=1", "Tallowby|data|bHttpsReferrers=0",
                              "Tallowby|data|bQuotedReferrers=0", "Tallowby|data|bHideSpam=0",
                              "Tallowby|data|bReferrerField=0", "Tallowby|data|bNoCrawlers=0"}));
        QCOMPARE(settings_.strYourWebsite, typed);  // reloaded from the store
        QVERIFY(!settings_.bRemoveDupes);
        QVERIFY(settings_.bGetFileTypes);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(saved, 1);
        testing::ProcessDeletes();
        QVERIFY(!opener_->isLoaded());
    }

    void ReferrerRulesRoundTripThroughTheDialog() {
        Form2* dialog = opener_->Open();
        for (QCheckBox* box : {dialog->Check4(), dialog->Check5()}) {
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        }
        QTest::mouseClick(dialog->Command1(), Qt::LeftButton);
        testing::ProcessDeletes();
        QCOMPARE(Stored(*backend_, kKeyHttpsReferrers), QStringLiteral("1"));
        QCOMPARE(Stored(*backend_, kKeyQuotedReferrers), QStringLiteral("1"));
        QVERIFY(settings_.bHttpsReferrers && settings_.bQuotedReferrers);

        dialog = opener_->Open();
        QVERIFY(dialog->Check4()->isChecked() && dialog->Check5()->isChecked());
        QTest::mouseClick(dialog->Check4(), Qt::LeftButton, {},
                          QPoint(8, dialog->Check4()->height() / 2));
        QTest::mouseClick(dialog->Command1(), Qt::LeftButton);
        testing::ProcessDeletes();
        QCOMPARE(Stored(*backend_, kKeyHttpsReferrers), QStringLiteral("0"));
        QVERIFY(!settings_.bHttpsReferrers && settings_.bQuotedReferrers);
    }

    void LeaveOutCrawlersIsOfferedOnlyWhileTheFieldIsRead() {
        auto click = [](QCheckBox* box) {
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        };
        Form2* dialog = opener_->Open();
        click(dialog->Check8());  // disabled: the click does nothing
        QVERIFY(!dialog->Check8()->isChecked());
        click(dialog->Check7());
        QVERIFY(dialog->Check8()->isEnabled());
        click(dialog->Check8());
        QTest::mouseClick(dialog->Command1(), Qt::LeftButton);
        testing::ProcessDeletes();
        QCOMPARE(Stored(*backend_, kKeyReferrerField), QStringLiteral("1"));
        QCOMPARE(Stored(*backend_, kKeyNoCrawlers), QStringLiteral("1"));
        QVERIFY(settings_.bReferrerField && settings_.bNoCrawlers);

        dialog = opener_->Open();
        QVERIFY(dialog->Check7()->isChecked());
        QVERIFY(dialog->Check8()->isChecked() && dialog->Check8()->isEnabled());
        // Unticking the field takes the choice away and keeps its tick for later.
        click(dialog->Check7());
        QVERIFY(!dialog->Check8()->isEnabled() && dialog->Check8()->isChecked());
    }

    void UntickingAllStoresZerosAndReopensUnticked() {
        Form2* dialog = opener_->Open();
        for (QCheckBox* box : {dialog->Check1(), dialog->Check2(), dialog->Check3()}) {
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
            QVERIFY(!box->isChecked());
        }
        QTest::mouseClick(dialog->Command1(), Qt::LeftButton);
        testing::ProcessDeletes();
        QCOMPARE(Stored(*backend_, kKeyGetFileTypes), QStringLiteral("0"));
        QCOMPARE(Stored(*backend_, kKeyRemoveDupes), QStringLiteral("0"));
        QCOMPARE(Stored(*backend_, kKeyDisplayStats), QStringLiteral("0"));
        dialog = opener_->Open();
        QVERIFY(!dialog->Check1()->isChecked());
        QVERIFY(!dialog->Check2()->isChecked());
        QVERIFY(!dialog->Check3()->isChecked());
    }

    void CloseBoxSavesNothing() {
        Form2* dialog = opener_->Open();
        dialog->Text1()->setText(QStringLiteral("changed.example"));
        dialog->Check1()->setChecked(false);
        QVERIFY(dialog->close());
        testing::ProcessDeletes();
        QVERIFY(!opener_->isLoaded());
        QVERIFY(backend_->writes.isEmpty());
        QCOMPARE(settings_.strYourWebsite, strPlaceholderDomain);
        dialog = opener_->Open();
        QCOMPARE(dialog->Text1()->text(), strPlaceholderDomain);
        QVERIFY(dialog->Check1()->isChecked());
    }

    void EnterPressesOkAndEscapeClosesWithoutSaving_data() {
        QTest::addColumn<int>("focus");  // 0 the domain box, 1-3 a check box, 4 "Ok"
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("saved");
        for (int focus = 0; focus <= 4; ++focus) {
            const QByteArray at = "focus " + QByteArray::number(focus);
            QTest::newRow(at + " Return") << focus << int(Qt::Key_Return) << true;
            QTest::newRow(at + " keypad Enter") << focus << int(Qt::Key_Enter) << true;
            QTest::newRow(at + " Escape") << focus << int(Qt::Key_Escape) << false;
        }
    }
    void EnterPressesOkAndEscapeClosesWithoutSaving() {
        QFETCH(int, focus);
        QFETCH(int, key);
        QFETCH(bool, saved);
        Form2* dialog = opener_->Open();
        QTest::keyClicks(dialog->Text1(), QStringLiteral("x"));
        QWidget* controls[] = {dialog->Text1(), dialog->Check1(), dialog->Check2(),
                               dialog->Check3(), dialog->Command1()};
        QTest::keyClick(controls[focus], static_cast<Qt::Key>(key));
        testing::ProcessDeletes();
        QVERIFY(!opener_->isLoaded());
        QCOMPARE(Stored(*backend_, kKeyYourWebsite),
                 saved ? strPlaceholderDomain + "x" : QStringLiteral("<missing>"));
        QCOMPARE(settings_.strYourWebsite,
                 saved ? strPlaceholderDomain + "x" : strPlaceholderDomain);
    }

    void OpeningAgainKeepsWhatIsTyped() {
        Form2* dialog = opener_->Open();
        dialog->Text1()->setText(QStringLiteral("half-typ"));
        dialog->Check3()->setChecked(false);
        QCOMPARE(opener_->Open(), dialog);
        QCOMPARE(dialog->Text1()->text(), QStringLiteral("half-typ"));
        QVERIFY(!dialog->Check3()->isChecked());
        int dialogs = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            dialogs += qobject_cast<Form2*>(w) != nullptr;
        }
        QCOMPARE(dialogs, 1);
    }

    void UnloadClosesWithoutSaving() {
        Form2* dialog = opener_->Open();
        QPointer<Form2> watch(dialog);
        dialog->Text1()->setText(QStringLiteral("x"));
        opener_->Unload();
        QVERIFY(watch.isNull());
        QVERIFY(backend_->writes.isEmpty());
        opener_->Unload();  // nothing open: nothing happens
    }

private:
    std::unique_ptr<testing::MemorySettings> backend_;
    std::unique_ptr<SettingsStore> store_;
    AppSettings settings_;
    std::unique_ptr<OptionsDialogOpener> opener_;
};

TALLOWBY_QTEST_MAIN(OptionsDialogTest)
#include "OptionsDialogTest.moc"
