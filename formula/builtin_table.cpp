// The one registry of built-in functions: the compiler looks names up here,
// checks argument counts against the rows and stores the row in the call
// node; the evaluator calls the row's implementation (and, a column at a
// time, its column form). Rows are sorted by name in case-insensitive byte
// order, which the binary search relies on.
#include <cstring>

#include "formula/builtin.h"
#include "formula/lexer.h"

using namespace builtin;

namespace {

constexpr uint32_t F = kFunctionFuture;
constexpr uint32_t R = kFunctionFullRecalc;

#define ROW(name, flags, lo, hi, impl, cat, help, column, stateful) \
  {{name, flags, lo, hi, impl, cat, help}, column, stateful, nullptr}
// A stateful row that can also run in lockstep with others.
#define RUN(name, flags, lo, hi, impl, cat, help, column, runner) \
  {{name, flags, lo, hi, impl, cat, help}, column, true, runner}

const IndexBuiltinRow kRows[kIndexFunctionCount] = {
    ROW("ABS", 0, 1, 1, Abs, kCategoryArithmetic,
        "求绝对值。\n用法：ABS(X)\n参数：X可为变量或常数。\n示例：ABS(-17)返回17。", AbsColumn, false),
    ROW("ACOS", 0, 1, 1, Acos, kCategoryMath,
        "求反余弦值。\n用法：ACOS(X)\n参数：X可为变量或常数，取值范围为-1至1。\n返回值：弧度；X超出范围时返回无效值。",
        AcosColumn, false),
    ROW("AMOUNT", 0, 0, 0, Amount, kCategoryQuote,
        "求持仓量（期货）或成交金额（股票）。\n用法：AMOUNT\n说明：期货品种返回持仓量，股票品种返回成交金额。",
        AmountColumn, false),
    ROW("ASIN", 0, 1, 1, Asin, kCategoryMath,
        "求反正弦值。\n用法：ASIN(X)\n参数：X可为变量或常数，取值范围为-1至1。\n返回值：弧度；X超出范围时返回无效值。",
        AsinColumn, false),
    ROW("ATAN", 0, 1, 1, Atan, kCategoryMath,
        "求反正切值。\n用法：ATAN(X)\n参数：X可为变量或常数。\n返回值：弧度。", AtanColumn, false),
    RUN("AVEDEV", 0, 2, 2, AveDev, kCategoryStatistics,
        "求平均绝对偏差。\n用法：AVEDEV(X,N)\n参数：X为变量，N为常数（建议小于8192，否则将计算缓慢）。\n说明：求X在N周期内的平均绝对偏差，N为0时从第一个周期开始计算。",
        AveDevColumn, AveDevRunner),
    ROW("BACKSET", F | R, 2, 2, BackSet, kCategoryReference,
        "逆向赋值。注意：此函数为未来函数。\n用法：BACKSET(X,N)\n参数：X为条件，N为常数。\n说明：若X不为0，则将当前位置到N周期前的数值设为1。",
        nullptr, true),
    ROW("BARPOS", 0, 0, 0, BarPos, kCategoryTime,
        "求当前周期的位置。\n用法：BARPOS\n说明：返回从第一个周期起的序号，第一个周期为1。", nullptr, false),
    ROW("BARSCOUNT", 0, 0, 1, BarsCount, kCategoryReference,
        "求到当前周期为止有效的周期数。\n用法：BARSCOUNT或BARSCOUNT(X)\n参数：X可为变量或常数，不参与计算。\n说明：返回数据的总周期数。",
        nullptr, false),
    ROW("BARSLAST", 0, 1, 1, BarsLast, kCategoryReference,
        "求上一次条件成立到当前的周期数。\n用法：BARSLAST(X)\n参数：X为条件。\n示例：BARSLAST(CLOSE>OPEN)表示上一根阳线到当前的周期数。",
        nullptr, true),
    ROW("BARSSINCE", 0, 1, 1, BarsSince, kCategoryReference,
        "求第一次条件成立到当前的周期数，如返回0表示条件从未成立。\n用法：BARSSINCE(X)\n参数：X为条件。",
        nullptr, true),
    ROW("BARSTATUS", 0, 0, 0, BarStatus, kCategoryTime,
        "求当前周期的位置状态。\n用法：BARSTATUS\n返回值：第一个周期返回1，最后一个周期返回2，其余返回0。", nullptr,
        false),
    ROW("BETWEEN", 0, 3, 3, Between, kCategoryLogic,
        "求是否介于两个数之间。\n用法：BETWEEN(A,B,C)\n参数：A、B、C可为变量或常数。\n说明：A介于B与C之间（含两端）时返回1，否则返回0。",
        BetweenColumn, false),
    ROW("C", 0, 0, 0, Close, kCategoryQuote, "求收盘价。\n用法：C\n说明：与CLOSE相同。", CloseColumn, false),
    ROW("CEILING", 0, 1, 1, Ceiling, kCategoryArithmetic,
        "向上取整函数。\n用法：CEILING(X)\n参数：X可为变量或常数。\n示例：CEILING(-2.8)返回-2。", CeilingColumn,
        false),
    ROW("CLOSE", 0, 0, 0, Close, kCategoryQuote,
        "求收盘价。\n用法：CLOSE\n说明：返回当前周期的收盘价，简写为C。", CloseColumn, false),
    ROW("COLORRGB", 0, 3, 3, ColorRgb, kCategoryDrawing,
        "计算颜色值。\n用法：COLORRGB(R,G,B)\n参数：R、G、B为红、绿、蓝分量，取值为0至255。\n示例：COLORRGB(255,0,0)表示红色。",
        nullptr, false),
    ROW("COS", 0, 1, 1, Cos, kCategoryMath, "求余弦值。\n用法：COS(X)\n参数：X为弧度，可为变量或常数。", CosColumn,
        false),
    RUN("COUNT", 0, 2, 2, Count, kCategoryReference,
        "求满足条件的周期数。\n用法：COUNT(X,N)\n参数：X为条件，N为常数（建议小于1024，否则将计算缓慢）。\n说明：统计N周期内X不为0的周期数，N为0时从第一个周期开始统计。",
        CountColumn, CountRunner),
    ROW("CROSS", 0, 2, 2, Cross, kCategoryLogic,
        "判断是否交叉。\n用法：CROSS(A,B)\n参数：A、B可为变量或常数。\n说明：A从下方向上穿过B时返回1，否则返回0。", nullptr,
        true),
    ROW("CURRENTDATE", 0, 0, 0, CurrentDate, kCategoryTime,
        "求当前（计算时）的年月日。\n用法：CURRENTDATE\n说明：返回计算时电脑的日期，2006年1月1日返回1060101。", nullptr,
        false),
    ROW("CURRENTTIME", 0, 0, 0, CurrentTime, kCategoryTime,
        "求当前（计算时）的时分秒。\n用法：CURRENTTIME\n说明：返回计算时电脑的时间，13点1分5秒返回130105。", nullptr,
        false),
    ROW("DATACOUNT", 0, 0, 0, DataCount, kCategoryReference,
        "求总周期数。\n用法：DATACOUNT\n说明：返回数据的总周期数。", nullptr, false),
    ROW("DATAPERIOD", 0, 0, 0, DataPeriod, kCategoryOther,
        "取当前周期。\n用法：DATAPERIOD\n返回值：1为1分、2为5分、3为15分、4为30分、5为60分、6为日、7为周、8为月、9为年、10为多日、11为多分。",
        nullptr, false),
    ROW("DATE", 0, 0, 0, Date, kCategoryTime,
        "求当前周期的年月日。\n用法：DATE\n说明：返回年*10000+月*100+日-19000000，2006年1月1日返回1060101。", nullptr,
        false),
    ROW("DAY", 0, 0, 0, Day, kCategoryTime, "求当前周期的日期。\n用法：DAY\n说明：返回1至31。", nullptr, false),
    RUN("DEVSQ", 0, 2, 2, DevSq, kCategoryStatistics,
        "求数据偏差平方和。\n用法：DEVSQ(X,N)\n参数：X为变量，N为常数（建议小于8192，否则将计算缓慢）。\n说明：N为0时从第一个周期开始计算。",
        DevSqColumn, DevSqRunner),
    RUN("DMA", 0, 2, 2, Dma, kCategoryReference,
        "求动态移动平均。\n用法：DMA(X,A)\n参数：X为变量，A为平滑因子，须大于0且不大于1。\n说明：Y=A*X+(1-A)*Y'，Y'为上一周期的值。",
        DmaColumn, DmaRunner),
    RUN("EMA", 0, 2, 2, Ema, kCategoryReference,
        "求指数平滑移动平均。\n用法：EMA(X,N)\n参数：X为变量，N为常数。\n说明：Y=(2*X+(N-1)*Y')/(N+1)，Y'为上一周期的值。",
        EmaColumn, EmaRunner),
    RUN("EMA2", 0, 2, 2, Wma, kCategoryReference,
        "求加权移动平均。\n用法：EMA2(X,N)\n参数：X为变量，N为常数（建议小于1024，否则将计算缓慢）。\n说明：与WMA相同。",
        WmaColumn, WmaRunner),
    ROW("EXP", 0, 1, 1, Exp, kCategoryMath, "求指数。\n用法：EXP(X)\n参数：X可为变量或常数。\n说明：返回e的X次幂。",
        ExpColumn, false),
    ROW("FILTER", R, 2, 2, Filter, kCategoryReference,
        "信号过滤。\n用法：FILTER(X,N)\n参数：X为条件，N为常数。\n说明：X满足条件后，将其后N周期内的信号置为0。", nullptr,
        true),
    ROW("FLOOR", 0, 1, 1, Floor, kCategoryArithmetic,
        "向下取整函数。\n用法：FLOOR(X)\n参数：X可为变量或常数。\n示例：FLOOR(-2.8)返回-3。", FloorColumn, false),
    ROW("FRACPART", 0, 1, 1, FracPart, kCategoryArithmetic,
        "取小数部分。\n用法：FRACPART(X)\n参数：X可为变量或常数。\n示例：FRACPART(-2.8)返回-0.8。", FracPartColumn,
        false),
    ROW("H", 0, 0, 0, High, kCategoryQuote, "求最高价。\n用法：H\n说明：与HIGH相同。", HighColumn, false),
    RUN("HHV", 0, 2, 2, Hhv, kCategoryReference,
        "求最高值。\n用法：HHV(X,N)\n参数：X为变量，N为常数（建议小于1024，否则将计算缓慢）。\n说明：求N周期内X的最高值，N为0时从第一个周期开始计算。",
        HhvColumn, HhvRunner),
    ROW("HIGH", 0, 0, 0, High, kCategoryQuote,
        "求最高价。\n用法：HIGH\n说明：返回当前周期的最高价，简写为H。", HighColumn, false),
    ROW("HOUR", 0, 0, 0, Hour, kCategoryTime,
        "求当前周期的小时数。\n用法：HOUR\n说明：返回0至23，日线及以上周期返回0。", nullptr, false),
    ROW("IF", 0, 3, 3, If, kCategoryLogic,
        "条件取值函数。\n用法：IF(X,A,B)\n参数：X为条件，A、B可为变量或常数。\n说明：X不为0时返回A，否则返回B。", IfColumn,
        false),
    ROW("IFELSE", 0, 3, 3, If, kCategoryLogic,
        "条件取值函数。\n用法：IFELSE(X,A,B)\n参数：X为条件，A、B可为变量或常数。\n说明：与IF相同。", IfColumn, false),
    ROW("INTPART", 0, 1, 1, IntPart, kCategoryArithmetic,
        "取整函数。\n用法：INTPART(X)\n参数：X可为变量或常数。\n示例：INTPART(-2.8)返回-2。", IntPartColumn, false),
    ROW("ISCONTRACT", 0, 1, 1, IsContract, kCategoryOther,
        "当前是否为指定的品种。\n用法：ISCONTRACT('代码')\n参数：代码为字符串，最多7个字符。\n示例：ISCONTRACT('CU')在铜合约上返回1。",
        nullptr, false),
    ROW("ISDOWN", 0, 0, 0, IsDown, kCategoryLogic,
        "当前周期是否收阴。\n用法：ISDOWN\n说明：收盘价低于开盘价时返回1，否则返回0。", nullptr, false),
    ROW("ISEQUAL", 0, 0, 0, IsEqual, kCategoryLogic,
        "当前周期是否平盘。\n用法：ISEQUAL\n说明：收盘价等于开盘价时返回1，否则返回0。", nullptr, false),
    ROW("ISLASTBAR", 0, 0, 0, IsLastBar, kCategoryLogic,
        "当前周期是否最后一个周期。\n用法：ISLASTBAR\n说明：当前周期为最后一个周期时返回1，否则返回0。", nullptr, false),
    ROW("ISLASTPERIOD", 0, 0, 0, IsLastBar, kCategoryLogic,
        "当前周期是否最后一个周期，同ISLASTBAR。\n用法：ISLASTPERIOD", nullptr, false),
    ROW("ISSTOCK", 0, 1, 1, IsContract, kCategoryOther,
        "当前是否为指定的品种。\n用法：ISSTOCK('代码')\n参数：代码为字符串，最多7个字符。\n说明：与ISCONTRACT相同。", nullptr,
        false),
    ROW("ISUP", 0, 0, 0, IsUp, kCategoryLogic,
        "当前周期是否收阳。\n用法：ISUP\n说明：收盘价高于开盘价时返回1，否则返回0。", nullptr, false),
    ROW("L", 0, 0, 0, Low, kCategoryQuote, "求最低价。\n用法：L\n说明：与LOW相同。", LowColumn, false),
    RUN("LLV", 0, 2, 2, Llv, kCategoryReference,
        "求最低值。\n用法：LLV(X,N)\n参数：X为变量，N为常数（建议小于1024，否则将计算缓慢）。\n说明：求N周期内X的最低值，N为0时从第一个周期开始计算。",
        LlvColumn, LlvRunner),
    ROW("LN", 0, 1, 1, Ln, kCategoryMath, "求自然对数。\n用法：LN(X)\n参数：X可为变量或常数，须大于0。", LnColumn,
        false),
    ROW("LOG", 0, 1, 1, Log, kCategoryMath, "求以10为底的对数。\n用法：LOG(X)\n参数：X可为变量或常数，须大于0。",
        LogColumn, false),
    ROW("LONGCROSS", 0, 3, 3, LongCross, kCategoryLogic,
        "维持交叉函数。\n用法：LONGCROSS(A,B,N)\n参数：A、B可为变量或常数，N为常数（小于512）。\n说明：A在N周期内都小于B，本周期A从下方向上穿过B时返回1，否则返回0。",
        nullptr, true),
    ROW("LOW", 0, 0, 0, Low, kCategoryQuote, "求最低价。\n用法：LOW\n说明：返回当前周期的最低价，简写为L。",
        LowColumn, false),
    RUN("MA", 0, 2, 2, Ma, kCategoryReference,
        "求简单移动平均。\n用法：MA(X,N)\n参数：X为变量，N为常数（建议小于1024，否则将计算缓慢）。\n说明：计算X最近N周期的简单移动平均，若N为0则从第一个有效周期开始计算。",
        MaColumn, MaRunner),
    ROW("MAX", 0, 2, 16, Max, kCategoryArithmetic,
        "求最大值。\n用法：MAX(A,B,...)\n参数：2至16个参数，可为变量或常数。\n示例：MAX(CLOSE,OPEN)返回收盘价与开盘价中的较大值。",
        MaxColumn, false),
    ROW("MIN", 0, 2, 16, Min, kCategoryArithmetic,
        "求最小值。\n用法：MIN(A,B,...)\n参数：2至16个参数，可为变量或常数。\n示例：MIN(CLOSE,OPEN)返回收盘价与开盘价中的较小值。",
        MinColumn, false),
    ROW("MINUTE", 0, 0, 0, Minute, kCategoryTime,
        "求当前周期的分钟数。\n用法：MINUTE\n说明：返回0至59，日线及以上周期返回0。", nullptr, false),
    ROW("MOD", 0, 2, 2, Mod, kCategoryArithmetic,
        "求模（求余）。\n用法：MOD(A,B)\n参数：A、B可为变量或常数。\n示例：MOD(13,10)返回3，MOD(-13,10)返回-3，B为0时返回0。",
        nullptr, false),
    ROW("MONTH", 0, 0, 0, Month, kCategoryTime, "求当前周期的月份。\n用法：MONTH\n说明：返回1至12。", nullptr,
        false),
    ROW("NOT", 0, 1, 1, Not, kCategoryLogic,
        "求逻辑非（逻辑取反）。\n用法：NOT(X)\n参数：X可为变量或常数。\n说明：X为0时返回1，否则返回0。", NotColumn, false),
    ROW("O", 0, 0, 0, Open, kCategoryQuote, "求开盘价。\n用法：O\n说明：与OPEN相同。", OpenColumn, false),
    ROW("OPEN", 0, 0, 0, Open, kCategoryQuote, "求开盘价。\n用法：OPEN\n说明：返回当前周期的开盘价，简写为O。",
        OpenColumn, false),
    ROW("POW", 0, 2, 2, Pow, kCategoryMath,
        "求幂。\n用法：POW(A,B)\n参数：A、B可为变量或常数。\n说明：返回A的B次幂；A为0且B小于0时返回0。", PowColumn, false),
    ROW("RANGE", 0, 3, 3, Range, kCategoryLogic,
        "范围判断。\n用法：RANGE(A,B,C)\n参数：A、B、C可为变量或常数。\n说明：A大于等于B且小于等于C时返回1，否则返回0。",
        RangeColumn, false),
    ROW("REF", 0, 2, 2, Ref, kCategoryReference,
        "向前引用。\n用法：REF(X,N)\n参数：X、N可为变量或常数。\n说明：返回N周期前的X值，例如REF(CLOSE,1)表示上一周期的收盘价。",
        nullptr, false),
    ROW("REFX", F | R, 2, 2, RefX, kCategoryReference,
        "向后引用。注意：此函数为未来函数。\n用法：REFX(X,N)\n参数：X、N可为变量或常数。\n说明：返回N周期后的X值，例如REFX(CLOSE,1)表示下一周期的收盘价。",
        nullptr, false),
    ROW("REVERSE", 0, 1, 1, Reverse, kCategoryArithmetic,
        "求相反数。\n用法：REVERSE(X)\n参数：X可为变量或常数。\n示例：REVERSE(5)返回-5。", ReverseColumn, false),
    ROW("SAR", R, 3, 3, Sar, kCategoryStatistics,
        "抛物转向。\n用法：SAR(N,S,M)\n参数：N为周期数，S为步长，M为极值，S、M为百分数。\n示例：SAR(10,2,20)表示10周期、步长2%、极值20%的抛物转向。",
        nullptr, true),
    ROW("SAR_KIVO", R, 3, 3, SarKivo, kCategoryStatistics,
        "抛物转向（泽乐传统算法）。\n用法：SAR_KIVO(N,S,M)\n参数：N为周期数，S为步长，M为极值，S、M为百分数。", nullptr,
        true),
    ROW("SETTLE", 0, 0, 0, Settle, kCategoryQuote, "求结算价。\n用法：SETTLE\n说明：返回当前周期的结算价。",
        SettleColumn, false),
    ROW("SGN", 0, 1, 1, Sgn, kCategoryArithmetic,
        "正负判断。\n用法：SGN(X)\n参数：X可为变量或常数。\n返回值：X大于0返回1，小于0返回-1，等于0返回0。", SgnColumn,
        false),
    ROW("SIN", 0, 1, 1, Sin, kCategoryMath, "求正弦值。\n用法：SIN(X)\n参数：X为弧度，可为变量或常数。", SinColumn,
        false),
    RUN("SMA", 0, 3, 3, Sma, kCategoryReference,
        "求移动平均。\n用法：SMA(X,N,M)\n参数：X为变量，N、M为常数，M须大于0且不大于N。\n说明：Y=(M*X+(N-M)*Y')/N，Y'为上一周期的值。",
        SmaColumn, SmaRunner),
    ROW("SQRT", 0, 1, 1, Sqrt, kCategoryMath,
        "求平方根（开平方）。\n用法：SQRT(X)\n参数：X可为变量或常数。\n说明：X不大于0时返回0。", SqrtColumn, false),
    RUN("STD", 0, 2, 2, Std, kCategoryStatistics,
        "求估算标准差。\n用法：STD(X,N)\n参数：X为变量，N为常数（建议小于8192，否则将计算缓慢）。\n说明：求X在N周期内的样本标准差。",
        StdColumn, StdRunner),
    RUN("STDP", 0, 2, 2, StdP, kCategoryStatistics,
        "求总体标准差。\n用法：STDP(X,N)\n参数：X为变量，N为常数（建议小于8192，否则将计算缓慢）。\n说明：求X在N周期内的总体标准差。",
        StdPColumn, StdPRunner),
    ROW("STKTYPE", 0, 0, 0, StkType, kCategoryOther,
        "取市场类型。\n用法：STKTYPE\n返回值：0为国内股票指数、1为国内股票、6为外汇、7为国内期货、5为其它。", nullptr, false),
    RUN("SUM", 0, 2, 2, Sum, kCategoryReference,
        "求和。\n用法：SUM(X,N)\n参数：X为变量，N为常数（建议小于1024，否则将计算缓慢）。\n说明：求N周期内X的总和，N为0时从第一个周期开始累加。",
        SumColumn, SumRunner),
    ROW("T0TOTIME", 0, 1, 1, T0ToTime, kCategoryTime,
        "秒数转换为时间。\n用法：T0TOTIME(X)\n参数：X为自0点起的秒数。\n示例：T0TOTIME(3723)返回10203。", nullptr, false),
    ROW("TAN", 0, 1, 1, Tan, kCategoryMath, "求正切值。\n用法：TAN(X)\n参数：X为弧度，可为变量或常数。", TanColumn,
        false),
    ROW("TIME", 0, 0, 0, Time, kCategoryTime,
        "求当前周期的时分秒。\n用法：TIME\n说明：13点1分返回130100，日线及以上周期返回0。", nullptr, false),
    ROW("TIME0", 0, 0, 0, Time0, kCategoryTime,
        "求当前周期自该日0点以来的秒数。\n用法：TIME0\n示例：13点1分返回46860。", nullptr, false),
    ROW("TIMETOT0", 0, 1, 1, TimeToT0, kCategoryTime,
        "时间转换为秒数。\n用法：TIMETOT0(X)\n参数：X为时分秒。\n示例：TIMETOT0(10203)返回3723。", nullptr, false),
    ROW("V", 0, 0, 0, Vol, kCategoryQuote, "求成交量。\n用法：V\n说明：与VOL相同。", VolColumn, false),
    ROW("VALUEWHEN", 0, 2, 2, ValueWhen, kCategoryLogic,
        "条件更新函数。\n用法：VALUEWHEN(X,A)\n参数：X为条件，A可为变量或常数。\n说明：X不为0时返回当前的A值，否则返回上一次X不为0时的A值。",
        nullptr, true),
    RUN("VAR", 0, 2, 2, Var, kCategoryStatistics,
        "求估算样本方差。\n用法：VAR(X,N)\n参数：X为变量，N为常数（建议小于8192，否则将计算缓慢）。\n说明：求X在N周期内的样本方差。",
        VarColumn, VarRunner),
    RUN("VARP", 0, 2, 2, VarP, kCategoryStatistics,
        "求总体样本方差。\n用法：VARP(X,N)\n参数：X为变量，N为常数（建议小于8192，否则将计算缓慢）。\n说明：求X在N周期内的总体方差。",
        VarPColumn, VarPRunner),
    ROW("VOL", 0, 0, 0, Vol, kCategoryQuote, "求成交量。\n用法：VOL\n说明：返回当前周期的成交量，简写为V。",
        VolColumn, false),
    ROW("WEEKDAY", 0, 0, 0, Weekday, kCategoryTime,
        "求当前周期的星期数。\n用法：WEEKDAY\n返回值：0为星期日，1至6为星期一至星期六。", nullptr, false),
    RUN("WMA", 0, 2, 2, Wma, kCategoryReference,
        "求加权移动平均。\n用法：WMA(X,N)\n参数：X为变量，N为常数（建议小于1024，否则将计算缓慢）。\n说明：权重由1至N线性递增，N为0时从第一个周期开始计算。",
        WmaColumn, WmaRunner),
    ROW("YEAR", 0, 0, 0, Year, kCategoryTime, "求当前周期的年份。\n用法：YEAR", nullptr, false),
    ROW("ZIG", F | R, 2, 2, Zig, kCategoryStatistics,
        "之字转向。注意：此函数为未来函数。\n用法：ZIG(K,N)\n参数：K为价格类型（0开盘、1最高、2最低、3收盘、4最高最低），N为转向幅度（百分数）。\n示例：ZIG(3,5)表示收盘价变动5%的之字转向。",
        nullptr, true),
};

#define KEY(name, flags, lo, cat, help) {name, flags, lo, lo, nullptr, cat, help}

const INDEXFUNC kKeywords[kIndexKeywordCount] = {
    KEY("DRAWTEXT", 0, 3, kCategoryDrawing,
        "输出文字。\n用法：DRAWTEXT(CON,P,T)\n参数：CON、P可为变量或常数，T为字符串。\n说明：当CON不为0时，在P处输出文字T。例如，DRAWTEXT(CLOSE/REF(CLOSE,1)>=1.1,LOW,'涨停')。"),
    KEY("DRAWICON", 0, 3, kCategoryDrawing,
        "输出图标。\n用法：DRAWICON(CON,P,N)\n参数：CON、P可为变量或常数，N为图标编号（1至14）。\n说明：当CON不为0时，在P处输出第N号图标。"),
    KEY("DRAWBMP", 0, 3, kCategoryDrawing,
        "输出图片。\n用法：DRAWBMP(CON,P,'文件名')\n参数：CON、P可为变量或常数。\n说明：当CON不为0时，在P处输出图片。"),
    KEY("DRAWBKBMP", 0, 2, kCategoryDrawing,
        "设置背景图片。\n用法：DRAWBKBMP(CON,'文件名')\n说明：当最后一个周期CON不为0时，以该图片为背景。"),
    KEY("DRAWGBK", 0, 4, kCategoryDrawing,
        "设置渐变背景色。\n用法：DRAWGBK(CON,C1,C2,D)\n参数：C1、C2为颜色，D为渐变方向。\n说明：当最后一个周期CON不为0时，以C1至C2的渐变色为背景。"),
    KEY("DRAWNUMBER", 0, 4, kCategoryDrawing,
        "输出数值。\n用法：DRAWNUMBER(CON,P,VALUE,D)\n参数：D为小数位数。\n说明：当CON不为0时，在P处输出VALUE的数值。"),
    KEY("FILLRGN", 0, 3, kCategoryDrawing,
        "区间填充。\n用法：FILLRGN(CON,P1,P2)\n说明：当CON不为0时，填充P1与P2之间的区域。"),
    KEY("PARTLINE", 0, 2, kCategoryDrawing, "分段画线。\n用法：PARTLINE(CON,P)\n说明：当CON不为0时，连接P的各点画线。"),
    KEY("POLYLINE", R, 2, kCategoryDrawing,
        "绘制折线。\n用法：POLYLINE(CON,P)\n说明：在CON不为0的各周期之间连接P画折线。"),
    KEY("STICKLINE", 0, 5, kCategoryDrawing,
        "绘制柱线。\n用法：STICKLINE(CON,P1,P2,W,E)\n参数：W为宽度，E为0时画实心柱，否则画空心柱。\n说明：当CON不为0时，在P1与P2之间画柱线。"),
    KEY("DRAWLINE", R, 5, kCategoryDrawing,
        "绘制直线。\n用法：DRAWLINE(CON1,P1,CON2,P2,EXP)\n说明：自CON1成立处的P1画直线至CON2成立处的P2，EXP不为0时延长。"),
    KEY("DRAWKLINE", 0, 4, kCategoryDrawing,
        "绘制K线。\n用法：DRAWKLINE(H,O,L,C)\n参数：H、O、L、C为最高价、开盘价、最低价、收盘价。"),
    KEY("DRAWBARLINE", 0, 4, kCategoryDrawing,
        "绘制BAR线。\n用法：DRAWBARLINE(H,O,L,C)\n参数：H、O、L、C为最高价、开盘价、最低价、收盘价。"),
    KEY("DRAWSL", 0, 5, kCategoryDrawing,
        "绘制斜线。\n用法：DRAWSL(CON,P,S,LEN,D)\n参数：S为斜率，LEN为长度，D为方向。\n说明：当CON不为0时，自P处画斜线。"),
    KEY("VERTLINE", 0, 1, kCategoryDrawing, "绘制垂直线。\n用法：VERTLINE(CON)\n说明：当CON不为0时，在该周期画垂直线。"),
    KEY("ALIGN", 0, 0, kCategoryDrawing, "水平对齐方式。\n用法：ALIGN0、ALIGN1、ALIGN2\n说明：左对齐、居中、右对齐。"),
    KEY("VALIGN", 0, 0, kCategoryDrawing, "垂直对齐方式。\n用法：VALIGN0至VALIGN3\n说明：用于输出文字和数值。"),
    KEY("FONTSIZE", 0, 0, kCategoryDrawing, "字体大小。\n用法：FONTSIZE8至FONTSIZE72"),
    KEY("LINETHICK", 0, 0, kCategoryDrawing, "输出线宽。\n用法：LINETHICK0至LINETHICK7"),
    KEY("CIRCLEDOT", 0, 0, kCategoryDrawing, "小圆圈线。\n用法：CIRCLEDOT"),
    KEY("COLORSTICK", 0, 0, kCategoryDrawing, "阴阳颜色柱线。\n用法：COLORSTICK"),
    KEY("CROSSDOT", 0, 0, kCategoryDrawing, "斜叉线。\n用法：CROSSDOT"),
    KEY("POINTDOT", 0, 0, kCategoryDrawing, "点线。\n用法：POINTDOT"),
    KEY("STICK", 0, 0, kCategoryDrawing, "柱线。\n用法：STICK"),
    KEY("VOLSTICK", 0, 0, kCategoryDrawing, "成交量柱线。\n用法：VOLSTICK"),
    KEY("REFLINE", 0, 0, kCategoryDrawing, "设定指标参考线。\n用法：REFLINE:数值1,数值2,...\n说明：最多16条参考线。"),
    KEY("PRECIS", 0, 0, kCategoryDrawing, "指定数值的输出精度（小数位数）。\n用法：PRECIS0至PRECIS6"),
    KEY("COLOR", 0, 0, kCategoryDrawing,
        "指定指标线的颜色。\n用法：COLORRED、COLORBLUE等，或COLOR后接六位十六进制数BBGGRR。"),
    KEY("()", 0, 0, kCategoryOperator, "括号。\n说明：改变运算的先后次序。"),
    KEY("+", 0, 0, kCategoryOperator, "加（正）。\n说明：X+Y，求X与Y的和。"),
    KEY("-", 0, 0, kCategoryOperator, "减（负）。\n说明：X-Y，求X与Y的差；-X求X的相反数。"),
    KEY("*", 0, 0, kCategoryOperator, "乘。\n说明：X*Y，求X与Y的积。"),
    KEY("/", 0, 0, kCategoryOperator, "除。\n说明：X/Y，求X除以Y的商，Y为0时返回0。"),
    KEY("<", 0, 0, kCategoryOperator, "小于。\n说明：X<Y，X小于Y时返回1，否则返回0。"),
    KEY(">", 0, 0, kCategoryOperator, "大于。\n说明：X>Y，X大于Y时返回1，否则返回0。"),
    KEY("<=", 0, 0, kCategoryOperator, "小于等于。\n说明：X<=Y，X小于等于Y时返回1，否则返回0。"),
    KEY(">=", 0, 0, kCategoryOperator, "大于等于。\n说明：X>=Y，X大于等于Y时返回1，否则返回0。"),
    KEY("=", 0, 0, kCategoryOperator, "相等。\n说明：X=Y，X等于Y时返回1，否则返回0。"),
    KEY("<>", 0, 0, kCategoryOperator, "不等。\n说明：X<>Y，X不等于Y时返回1，否则返回0。"),
    KEY("AND", 0, 0, kCategoryOperator, "逻辑与。\n说明：X AND Y，当X、Y均不为0时返回1，否则返回0。"),
    KEY("OR", 0, 0, kCategoryOperator, "逻辑或。\n说明：X OR Y，当X、Y中有一个不为0时返回1，否则返回0。"),
    KEY("{}", 0, 0, kCategoryOperator, "添加注释。\n说明：{与}之间的文字为注释，不参与计算。"),
    KEY("\"\"", 0, 0, kCategoryOperator,
        "跨品种引用数据。\n用法：\"代码$数据类型\"\n示例：\"SH000001$CLOSE\"表示上证指数的收盘价。"),
};

int CompareName(const char *a, const char *b) {
  for (;; ++a, ++b) {
    const unsigned char x = uint8_t(indexlex::ToUpper(*a)), y = uint8_t(indexlex::ToUpper(*b));
    if (x != y) return x < y ? -1 : 1;
    if (!x) return 0;
  }
}

// Binary search as the picker and the compiler expect it: a name outside the
// first and last rows is not looked for, so the neighbour rows read inside
// the loop always exist.
const IndexBuiltinRow *Search(const char *name) {
  const int last = int(kIndexFunctionCount) - 1;
  if (CompareName(name, kRows[0].f.name) < 0 || CompareName(name, kRows[last].f.name) > 0)
    return nullptr;
  int lo = 0, hi = last;
  while (hi >= lo) {
    const int mid = (lo + hi) / 2;
    const int c = CompareName(kRows[mid].f.name, name);
    if (c == 0) return &kRows[mid];
    if (c < 0) {
      if (CompareName(kRows[mid + 1].f.name, name) > 0) return nullptr;
      lo = mid + 1;
    } else {
      if (CompareName(kRows[mid - 1].f.name, name) < 0) return nullptr;
      hi = mid - 1;
    }
  }
  return nullptr;
}

}  // namespace

const IndexBuiltinRow *IndexBuiltinRows() { return kRows; }

const IndexBuiltinRow *FindIndexBuiltin(const char *text, int length) {
  if (!text || length < 0 || length > 15) return nullptr;
  char name[16];
  std::memcpy(name, text, size_t(length));
  name[length] = 0;
  return Search(name);
}

uint32_t GetIndexFunctionCount() { return kIndexFunctionCount; }

bool GetIndexFunction(uint32_t index, INDEXFUNC *row) {
  if (index >= kIndexFunctionCount || !row) return false;
  *row = kRows[index].f;
  return true;
}

bool FindIndexFunction(const char *name, INDEXFUNC *row) {
  if (!name) return false;
  return FindIndexFunction(name, int(std::strlen(name)), row);
}

bool FindIndexFunction(const char *text, int length, INDEXFUNC *row) {
  const IndexBuiltinRow *found = FindIndexBuiltin(text, length);
  if (!found) return false;
  if (row) *row = found->f;
  return true;
}

IndexFunctionImpl FindIndexFunctionImpl(const char *name) {
  if (!name) return nullptr;
  return FindIndexFunctionImpl(name, int(std::strlen(name)));
}

IndexFunctionImpl FindIndexFunctionImpl(const char *text, int length) {
  const IndexBuiltinRow *found = FindIndexBuiltin(text, length);
  return found ? found->f.impl : nullptr;
}

const INDEXFUNC *GetIndexKeywordTable() { return kKeywords; }

const char *IndexCategoryName(uint32_t category) {
  static const char *const kNames[kIndexCategoryCount] = {"全部", "行情", "算术", "数学", "绘图", "时间",
                                                          "逻辑", "统计", "引用", "运算符", "其它"};
  return category < kIndexCategoryCount ? kNames[category] : nullptr;
}
