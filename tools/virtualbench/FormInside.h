#pragma once
// What the tests and benches see inside the window. Form1 keeps its
// controls, shared variables, ports, timers and parts private; this friend
// hands them out by reference for one expression or one scope:
//
//   inside(f).ui.Com_Port->setText("COM3");
//   auto in = inside(f);  in.Tx_Timer->fire();
//
// Nothing of the program itself uses it: the parts see only their views.
#include "shell/Form1.h"

struct FormInside {
    explicit FormInside(Form1& f)
        : form(f), ui(f.ui), st(f.st), svc(f.svc), FormLabel(f.FormLabel), Frame(f.Frame), RFLevel(f.RFLevel),
          LoRaTxTime(f.LoRaTxTime), TestStartSW(f.TestStartSW), RssiGraph_Sel(f.RssiGraph_Sel),
          MSComm1(f.MSComm1), MSComm2(f.MSComm2), GPSTimer(f.GPSTimer), InitialTimer(f.InitialTimer),
          Tx_Timer(f.Tx_Timer), Timer1(f.Timer1), settings(f.settings), fieldRules(f.fieldRules),
          portSelection(f.portSelection), radio(f.radio), gpsChannel(f.gpsChannel), init(f.init), run(f.run),
          cycle(f.cycle), sounds(f.sounds), logs(f.logs), gga(f.gga), datum(f.datum), recorder(f.recorder),
          alarmEffects(f.alarmEffects), analysisWindow(f.analysisWindow) {}

    Form1& form;
    Ui::Form1& ui;
    FormState& st;
    const Services& svc;

    std::array<QLabel*, 7>& FormLabel;
    std::array<QGroupBox*, 7>& Frame;
    std::array<QLabel*, 9>& RFLevel;
    std::array<QLineEdit*, 6>& LoRaTxTime;
    std::array<QPushButton*, 2>& TestStartSW;
    std::array<QRadioButton*, 2>& RssiGraph_Sel;

    SerialPort* const& MSComm1;
    SerialPort* const& MSComm2;
    Timer* const& GPSTimer;
    Timer* const& InitialTimer;
    Timer* const& Tx_Timer;
    Timer* const& Timer1;

    const std::unique_ptr<SettingsFile>& settings;
    const std::unique_ptr<FieldRules>& fieldRules;
    const std::unique_ptr<PortSelection>& portSelection;
    const std::unique_ptr<RadioChannel>& radio;
    const std::unique_ptr<GpsChannel>& gpsChannel;
    const std::unique_ptr<InitSequence>& init;
    const std::unique_ptr<RunControl>& run;
    const std::unique_ptr<TestCycle>& cycle;
    const std::unique_ptr<ResultSounds>& sounds;
    const std::unique_ptr<LogWriters>& logs;
    const std::unique_ptr<GgaProcessor>& gga;
    const std::unique_ptr<DatumPoint>& datum;
    const std::unique_ptr<analysis::RunRecorder>& recorder;
    const std::unique_ptr<analysis::AlarmEffects>& alarmEffects;
    const std::unique_ptr<analysis::AnalysisWindow>& analysisWindow;
};

inline FormInside inside(Form1& f) { return FormInside(f); }
