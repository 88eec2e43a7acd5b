// The one place the parts' views are filled: each part gets the controls
// named in its view from the form, the shared variables from FormState (by
// name, so a view cannot be handed the wrong one), and the services,
// ports and timers it uses. Nothing else of the window reaches a part.
#include "shell/Form1.h"

#include "gps/DatumPoint.h"
#include "gps/GgaProcessor.h"
#include "looptest/ResultSounds.h"
#include "looptest/RunControl.h"
#include "looptest/TestCycle.h"
#include "module/InitSequence.h"
#include "ports/GpsChannel.h"
#include "ports/PortSelection.h"
#include "ports/RadioChannel.h"
#include "results/LogWriters.h"
#include "shell/FieldRules.h"
#include "shell/SettingsFile.h"
#include "shell/StartOptions.h"

// The shared variables of each view.

FieldRulesView::FieldRulesView(const FormState& st)
    : FSKMinTxTime(st.FSKMinTxTime), LoRaMinTxTime(st.LoRaMinTxTime), NormalBackColor(st.NormalBackColor),
      WarningBackColor(st.WarningBackColor) {}

SettingsView::SettingsView(const FormState& st) : FSKMinTxTime(st.FSKMinTxTime), LoRaMinTxTime(st.LoRaMinTxTime) {}

DatumView::DatumView(FormState& st)
    : DatumLatitude(st.DatumLatitude), DatumLongitude(st.DatumLongitude), DatumHeight(st.DatumHeight),
      NorthCorrection(st.NorthCorrection), EastCorrection(st.EastCorrection), LatitudeDeg(st.LatitudeDeg),
      LongitudeDeg(st.LongitudeDeg), Altitude(st.Altitude) {}

GgaView::GgaView(FormState& st)
    : GpsBuffer(st.GpsBuffer), GgaProcessed(st.GgaProcessed), LatitudeRaw(st.LatitudeRaw),
      LongitudeRaw(st.LongitudeRaw), Altitude(st.Altitude), LatitudeDeg(st.LatitudeDeg),
      LongitudeDeg(st.LongitudeDeg), DatumLatitude(st.DatumLatitude), DatumLongitude(st.DatumLongitude),
      DatumHeight(st.DatumHeight) {}

InitView::InitView(FormState& st)
    : InitStep(st.InitStep), FirmwareKind(st.FirmwareKind), SpreadingIndex(st.SpreadingIndex),
      MinTxPeriod(st.MinTxPeriod), PendingCommand(st.PendingCommand), NormalBackColor(st.NormalBackColor),
      SelectedBackColor(st.SelectedBackColor) {}

GpsView::GpsView(FormState& st) : GpsBuffer(st.GpsBuffer), GgaProcessed(st.GgaProcessed) {}

PortView::PortView(FormState& st) : PortListTarget(st.PortListTarget) {}

RadioView::RadioView(FormState& st)
    : PendingCommand(st.PendingCommand), AwaitingResponse(st.AwaitingResponse), ResponseTime(st.ResponseTime),
      ResponseTimeUs(st.ResponseTimeUs), SendTime(st.SendTime) {}

RunView::RunView(FormState& st)
    : RunKind(st.RunKind), RunState(st.RunState), InitStep(st.InitStep), TxPeriod(st.TxPeriod),
      MinTxPeriod(st.MinTxPeriod), ResultPending(st.ResultPending), RxRssiHistory(st.RxRssiHistory),
      AckRssiHistory(st.AckRssiHistory), SpreadingIndex(st.SpreadingIndex), FSKMinTxTime(st.FSKMinTxTime),
      LoRaMinTxTime(st.LoRaMinTxTime), SendTime(st.SendTime), GraphBackColor(st.GraphBackColor) {}

CycleView::CycleView(FormState& st)
    : PendingCommand(st.PendingCommand), SendTime(st.SendTime), SendTimeUs(st.SendTimeUs),
      ResponseTime(st.ResponseTime), ResponseTimeUs(st.ResponseTimeUs), AwaitingResponse(st.AwaitingResponse),
      ResultPending(st.ResultPending), RxRssiHistory(st.RxRssiHistory), AckRssiHistory(st.AckRssiHistory),
      RunKind(st.RunKind), TxPeriod(st.TxPeriod), FirmwareKind(st.FirmwareKind),
      ExpectedAnswerHex(st.ExpectedAnswerHex), GraphBackColor(st.GraphBackColor), GridColor(st.GridColor),
      NoiseColor(st.NoiseColor), RxBarColor(st.RxBarColor), RxAverageColor(st.RxAverageColor),
      AckAverageColor(st.AckAverageColor), SelectedBackColor(st.SelectedBackColor) {}

// The controls, services, ports and timers of each view.

FieldRulesView Form1::fieldRulesView() {
    FieldRulesView v(st);
    v.FSKTxTime = ui.FSKTxTime;
    v.LoRaTxTime = LoRaTxTime;
    v.LogFileName = ui.LogFileName;
    v.MapFileName = ui.MapFileName;
    return v;
}

SettingsView Form1::settingsView() {
    SettingsView v(st);
    v.form = this;
    v.Com_Port = ui.Com_Port;
    v.GPS_Port = ui.GPS_Port;
    v.GPS_Baudrate = ui.GPS_Baudrate;
    v.GPSdata_clr = ui.GPSdata_clr;
    v.FSKTxTime = ui.FSKTxTime;
    v.LoRaTxTime = LoRaTxTime;
    v.Tx_CnEnd = ui.Tx_CnEnd;
    v.Message = ui.Message;
    v.appDir = svc.appDir;
    v.baseName = svc.baseName;
    v.screenTwips = svc.screenTwips;
    return v;
}

StartView Form1::startView() {
    StartView v;
    v.form = this;
    v.Com_Port = ui.Com_Port;
    v.GPS_Port = ui.GPS_Port;
    v.GPS_Baudrate = ui.GPS_Baudrate;
    v.GPS_On = ui.GPS_On;
    v.LogFile_Flg = ui.LogFile_Flg;
    v.LogFileName = ui.LogFileName;
    v.MapFileName = ui.MapFileName;
    v.Tx_CnEnd = ui.Tx_CnEnd;
    v.TestStartSW = TestStartSW;
    v.Message = ui.Message;
    return v;
}

DatumView Form1::datumView() {
    DatumView v(st);
    v.form = this;
    v.dialogs = svc.dialogs;
    v.GPSMessage = ui.GPSMessage;
    v.GPS_On = ui.GPS_On;
    v.Npos = ui.Npos;
    v.Epos = ui.Epos;
    v.Mpos = ui.Mpos;
    return v;
}

GgaView Form1::ggaView() {
    GgaView v(st);
    v.GPSTimer = GPSTimer;
    v.MSComm2 = MSComm2;
    v.GPS_On = ui.GPS_On;
    v.Check2 = ui.Check2;
    v.GPSdata_clr = ui.GPSdata_clr;
    v.GPSdataDisp = ui.GPSdataDisp;
    v.GPposition = ui.GPposition;
    v.Npos = ui.Npos;
    v.Epos = ui.Epos;
    v.Mpos = ui.Mpos;
    v.EiseiN = ui.EiseiN;
    v.NposGmap = ui.NposGmap;
    v.EposGmap = ui.EposGmap;
    v.Nposition = ui.Nposition;
    v.Eposition = ui.Eposition;
    v.WGS84_Kyori = ui.WGS84_Kyori;
    return v;
}

InitView Form1::initView() {
    InitView v(st);
    v.MSComm1 = MSComm1;
    v.InitialTimer = InitialTimer;
    v.Com_Port = ui.Com_Port;
    v.ComSelectSW = ui.ComSelectSW;
    v.ComMessage = ui.ComMessage;
    v.TestMode = ui.TestMode;
    v.Message = ui.Message;
    v.RxData = ui.RxData;
    v.RxText = ui.RxText;
    v.FSKTxTime = ui.FSKTxTime;
    v.LoRaTxTime = LoRaTxTime;
    v.FlorLabel = ui.FlorLabel;
    v.NoiseRssi = ui.NoiseRssi;
    return v;
}

LogView Form1::logView() {
    LogView v;
    v.LogText = ui.LogText;
    v.MapText = ui.MapText;
    v.Message = ui.Message;
    v.LogFile_Flg = ui.LogFile_Flg;
    v.GPS_On = ui.GPS_On;
    v.LogFileHedder = ui.LogFileHedder;
    v.LogFileName = ui.LogFileName;
    v.MapFileHedder = ui.MapFileHedder;
    v.MapFileName = ui.MapFileName;
    v.clock = svc.clock;
    v.appDir = svc.appDir;
    return v;
}

GpsView Form1::gpsView() {
    GpsView v(st);
    v.MSComm2 = MSComm2;
    v.clock = svc.clock;
    v.GPS_On = ui.GPS_On;
    v.GPS_Port = ui.GPS_Port;
    v.GPS_Baudrate = ui.GPS_Baudrate;
    v.GPS_SelectSW = ui.GPS_SelectSW;
    v.GPSMessage = ui.GPSMessage;
    v.GPposition = ui.GPposition;
    v.Npos = ui.Npos;
    v.NposGmap = ui.NposGmap;
    v.Epos = ui.Epos;
    v.EposGmap = ui.EposGmap;
    v.Mpos = ui.Mpos;
    return v;
}

PortView Form1::portView() {
    PortView v(st);
    v.Com_PortList = ui.Com_PortList;
    v.Com_Port = ui.Com_Port;
    v.GPS_Port = ui.GPS_Port;
    v.ComSelectSW = ui.ComSelectSW;
    v.Frame_1 = Frame[1];
    v.MSComm1 = MSComm1;
    v.portList = svc.portList;
    return v;
}

RadioView Form1::radioView() {
    RadioView v(st);
    v.MSComm1 = MSComm1;
    v.clock = svc.clock;
    v.RxText = ui.RxText;
    v.RxData = ui.RxData;
    v.ChkData = ui.ChkData;
    v.ComMessage = ui.ComMessage;
    v.RxTimeHist = ui.RxTimeHist;
    return v;
}

SoundsView Form1::soundsView() {
    SoundsView v;
    v.sound = svc.sound;
    v.appDir = svc.appDir;
    v.soundDir = svc.soundDir;
    return v;
}

RunView Form1::runView() {
    RunView v(st);
    v.TestStartSW = TestStartSW;
    v.Frame = Frame;
    v.Com_Port = ui.Com_Port;
    v.ComSelectSW = ui.ComSelectSW;
    v.Com_PortList = ui.Com_PortList;
    v.Tx_Count = ui.Tx_Count;
    v.FSK_OK = ui.FSK_OK;
    v.FSK_Err = ui.FSK_Err;
    v.FSKData = ui.FSKData;
    v.Picture1 = ui.Picture1;
    v.RxData = ui.RxData;
    v.RxText = ui.RxText;
    v.LogFileHedder = ui.LogFileHedder;
    v.MapFileHedder = ui.MapFileHedder;
    v.KeikaTime = ui.KeikaTime;
    v.Message = ui.Message;
    v.ComMessage = ui.ComMessage;
    v.TestMode = ui.TestMode;
    v.FSKTxTime = ui.FSKTxTime;
    v.LoRaTxTime = LoRaTxTime;
    v.Tx_CnEnd = ui.Tx_CnEnd;
    v.LogFile_Flg = ui.LogFile_Flg;
    v.LogFileName = ui.LogFileName;
    v.MapFileName = ui.MapFileName;
    v.GPS_On = ui.GPS_On;
    v.MSComm1 = MSComm1;
    v.InitialTimer = InitialTimer;
    v.Tx_Timer = Tx_Timer;
    v.Timer1 = Timer1;
    v.clock = svc.clock;
    v.appDir = svc.appDir;
    return v;
}

CycleView Form1::cycleView() {
    CycleView v(st);
    v.Tx_Count = ui.Tx_Count;
    v.FSK_OK = ui.FSK_OK;
    v.FSK_Err = ui.FSK_Err;
    v.FSKData = ui.FSKData;
    v.ChkData = ui.ChkData;
    v.Rx_Rssi = ui.Rx_Rssi;
    v.AckRssi = ui.AckRssi;
    v.Rx_RssiAve = ui.Rx_RssiAve;
    v.AckRssiAve = ui.AckRssiAve;
    v.NoiseRssi = ui.NoiseRssi;
    v.Picture1 = ui.Picture1;
    v.TxCmd = ui.TxCmd;
    v.FSKDmy = ui.FSKDmy;
    v.Tx_CnEnd = ui.Tx_CnEnd;
    v.RssiGraph_Sel = {RssiGraph_Sel[0], RssiGraph_Sel[1]};
    v.GraphOption = ui.GraphOption;
    v.GPS_On = ui.GPS_On;
    v.GPposition = ui.GPposition;
    v.MSComm1 = MSComm1;
    v.Tx_Timer = Tx_Timer;
    v.clock = svc.clock;
    return v;
}
