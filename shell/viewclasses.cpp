#include "shell/viewclasses.h"

#include "charts/rendform.h"
#include "charts/techform.h"
#include "views/intesort.h"
#include "views/msgform.h"
#include "views/report.h"
#include "views/textform.h"
#include "views/zqnote.h"

void RegisterViewClasses() {
  RegisterReportView();
  RegisterRankingView();
  RegisterTextView();
  RegisterNewsView();
  RegisterNotesView();
  RegisterIntradayView();
  RegisterKLineView();
}
