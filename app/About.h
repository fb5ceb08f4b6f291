#pragma once
#include <QDialog>
#include <QList>
#include <QPixmap>

class QLabel;
class QPushButton;
class THyperLink;

// A picture drawn at its fixed size.
class TImage : public QWidget {
    Q_OBJECT
public:
    TImage(const QPixmap& picture, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture;
};

// The About box: the tool's name, description, version and web page. Made
// once at start-up and only hidden between showings.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);
    // The components in creation order, for the language files.
    const QList<QObject*>& Components() const { return components; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    template <class T>
    T* Own(T* component, const char* name)
    {
        component->setObjectName(QString::fromLatin1(name));
        components.append(component);
        return component;
    }

    QList<QObject*> components;
    QLabel* lblAboutTitle;
    QLabel* lblAboutDescription;
    QLabel* lblAboutVersion;
    QLabel* lblAboutVersionNumber;
    THyperLink* HyperLink1;
    QPushButton* BitBtn1;
};
