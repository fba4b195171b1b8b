#ifndef AXISVALIDATOR_H
#define AXISVALIDATOR_H

#include <QIntValidator>

// Axis numbers from 1 to the number of axes. Unlike QIntValidator, which in
// Qt 6 lets any number with no more digits than the top pass as intermediate,
// a keystroke that makes a number no further typing can bring into range is
// refused at once ("5" with three axes, a leading 0).
class AxisValidator : public QIntValidator
{
    Q_OBJECT

public:
    explicit AxisValidator(QObject *parent = nullptr);
    State validate(QString &input, int &pos) const override;
};

#endif // AXISVALIDATOR_H
