#pragma once

#include "tabs/main_tab.h"

#include <memory>

class ConvLibrary;
class QGroupBox;
class QLineEdit;
struct FloatBytes;

// The "Converter" tab: decimal numbers to the 4 bytes of a single-precision value and back, with
// the bytes of the last value in the word orders PLCs and Modbus devices use.
class ConverterTab final : public MainTab
{
    Q_OBJECT
public:
    explicit ConverterTab(const TabContext &context, QWidget *parent = nullptr);
    ~ConverterTab() override;

    // The one folder conv is loaded from; unless set, the program's part folders.
    void setLibraryFolder(const QString &folder);

private:
    void onToIeee();
    void onToFloat();
    void showWordOrders(const FloatBytes &value);
    ConvLibrary &conv();

    QString m_libraryFolder;
    std::unique_ptr<ConvLibrary> m_conv;
    QGroupBox *m_converterFrame; // Frame10
    QLineEdit *m_decimalIn;      // Text13
    QLineEdit *m_hexOut;         // Text12
    QLineEdit *m_hexIn;          // Text15
    QLineEdit *m_decimalOut;     // Text14
    QList<QLineEdit *> m_wordOrders;
};
