#include "tools/SampleData.h"

#include "services/CorvaneError.h"

#include <QDate>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iconv.h>
#include <vector>

const std::array<BudgetItem, 28> kBudgetItems = {{
    {"11", "RelicRepairment/Preparation"},
    {"12", "RelicRepairment/Construction"},
    {"13", "RelicRepairment/Estate"},
    {"14", "RelicRepairment/Enviroment"},
    {"15", "RelicRepairment/Traffic"},
    {"16", "RelicRepairment/Other"},
    {"21", "UnEarth/Preparation"},
    {"22", "UnEarth/UnEarth"},
    {"23", "UnEarth/Report"},
    {"24", "UnEarth/Protection"},
    {"25", "UnEarth/Other"},
    {"31", "DepotRepairment/Preparation"},
    {"32", "DepotRepairment/Construction"},
    {"33", "DepotRepairment/Other"},
    {"41", "RelicPurchase"},
    {"51", "FireSecurity/Design"},
    {"52", "FireSecurity/Purchase"},
    {"53", "FireSecurity/Construction"},
    {"54", "FireSecurity/Other"},
    {"61", "RelicProtection/Design"},
    {"62", "RelicProtection/Repairment"},
    {"63", "RelicProtection/Other"},
    {"71", "GreatSiteProtection/Construction"},
    {"72", "GreatSiteProtection/Purchase"},
    {"73", "GreatSiteProtection/Other"},
    {"81", "DepotConstruction/Construction"},
    {"82", "DepotConstruction/Purchase"},
    {"83", "DepotConstruction/Other"},
}};

namespace
{

// ---- Random helpers. Plain arithmetic on mt19937, whose sequence the standard fixes, so a
// seed gives the same files with every standard library.

int Uniform(std::mt19937& rng, int low, int high)
{
    return low + static_cast<int>(rng() % static_cast<unsigned>(high - low + 1));
}

double Unit01(std::mt19937& rng)
{
    return rng() / 4294967296.0;
}

bool Chance(std::mt19937& rng, double probability)
{
    return Unit01(rng) < probability;
}

// Log-uniform, as sizes and sums of money spread over orders of magnitude.
double Spread(std::mt19937& rng, double low, double high)
{
    return low * std::pow(high / low, Unit01(rng));
}

template <typename T, size_t N> const T& Pick(std::mt19937& rng, const T (&values)[N])
{
    return values[rng() % N];
}

// The first N indexes walk through all N values (shifted by offset, so that the fields of
// one sample differ); later ones draw at random. This keeps every code in small sets.
template <typename T, size_t N> const T& Cover(std::mt19937& rng, int index, int offset, const T (&values)[N])
{
    if (index >= 0 && static_cast<size_t>(index) < N)
        return values[(static_cast<size_t>(index) + static_cast<size_t>(offset)) % N];
    return Pick(rng, values);
}

QString Number(long long value)
{
    return QString::number(value);
}

// An amount held in hundredths, written as the files do: up to two decimals, no trailing zeros.
QString Amount(long long cents)
{
    QString text = QString::number(cents / 100);
    const long long fraction = cents % 100;
    if (fraction != 0)
    {
        text += QLatin1Char('.') + QString::number(fraction / 10);
        if (fraction % 10 != 0)
            text += QString::number(fraction % 10);
    }
    return text;
}

QString Decimal(double value, int decimals)
{
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.')))
    {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text;
}

long long ToCents(double amount)
{
    return std::llround(amount * 100.0);
}

// Splits total into parts of the given weights, exactly.
std::vector<long long> SplitByWeights(long long total, const std::vector<double>& weights)
{
    double sum = 0;
    for (double w : weights)
        sum += w;
    std::vector<long long> parts(weights.size(), 0);
    if (sum <= 0)
        return parts;
    long long given = 0;
    for (size_t i = 0; i < weights.size(); ++i)
    {
        parts[i] = static_cast<long long>(std::floor(total * (weights[i] / sum)));
        given += parts[i];
    }
    for (size_t i = 0; given < total; i = (i + 1) % parts.size())
    {
        if (weights[i] > 0)
        {
            ++parts[i];
            ++given;
        }
    }
    return parts;
}

// An element that is present but empty (a null QString leaves it out).
QString EmptyText()
{
    return QString(QLatin1String(""));
}

QString ReportDate(std::mt19937& rng)
{
    return QDate(2005, 11, 1).addDays(Uniform(rng, 0, 211)).toString(QStringLiteral("yyyy-MM-dd"));
}

// ---- Name pools

struct Place
{
    const char* areaCode;
    const char* province;
    const char* city;
    const char* postCode;
    const char* phoneCode;
};

const Place kPlaces[] = {
    {"110101", "北京市", "东城区", "100010", "010"},
    {"110102", "北京市", "西城区", "100032", "010"},
    {"120101", "天津市", "和平区", "300041", "022"},
    {"130123", "河北省", "正定县", "050800", "0311"},
    {"140200", "山西省", "大同市", "037000", "0352"},
    {"140728", "山西省", "平遥县", "031100", "0354"},
    {"150100", "内蒙古自治区", "呼和浩特市", "010020", "0471"},
    {"210100", "辽宁省", "沈阳市", "110011", "024"},
    {"220582", "吉林省", "集安市", "134200", "0435"},
    {"230100", "黑龙江省", "哈尔滨市", "150001", "0451"},
    {"310101", "上海市", "黄浦区", "200001", "021"},
    {"320100", "江苏省", "南京市", "210005", "025"},
    {"320500", "江苏省", "苏州市", "215001", "0512"},
    {"330100", "浙江省", "杭州市", "310006", "0571"},
    {"330600", "浙江省", "绍兴市", "312000", "0575"},
    {"341021", "安徽省", "歙县", "245200", "0559"},
    {"350500", "福建省", "泉州市", "362000", "0595"},
    {"360200", "江西省", "景德镇市", "333000", "0798"},
    {"370881", "山东省", "曲阜市", "273100", "0537"},
    {"410300", "河南省", "洛阳市", "471000", "0379"},
    {"410500", "河南省", "安阳市", "455000", "0372"},
    {"421000", "湖北省", "荆州市", "434020", "0716"},
    {"430100", "湖南省", "长沙市", "410005", "0731"},
    {"440100", "广东省", "广州市", "510030", "020"},
    {"450300", "广西壮族自治区", "桂林市", "541001", "0773"},
    {"510100", "四川省", "成都市", "610015", "028"},
    {"510681", "四川省", "广汉市", "618300", "0838"},
    {"500225", "重庆市", "大足县", "402360", "023"},
    {"520300", "贵州省", "遵义市", "563000", "0852"},
    {"532901", "云南省", "大理市", "671000", "0872"},
    {"540100", "西藏自治区", "拉萨市", "850000", "0891"},
    {"610100", "陕西省", "西安市", "710001", "029"},
    {"610400", "陕西省", "咸阳市", "712000", "029"},
    {"620982", "甘肃省", "敦煌市", "736200", "0937"},
    {"630100", "青海省", "西宁市", "810000", "0971"},
    {"640100", "宁夏回族自治区", "银川市", "750001", "0951"},
    {"652101", "新疆维吾尔自治区", "吐鲁番市", "838000", "0995"},
};

const char* const kStreets[] = {"人民路", "解放路", "中山路", "文化路", "建设路", "北大街", "南大街",
                                "东关街", "西关街", "府前街", "鼓楼街", "和平路", "文庙街", "胜利路"};

// Unit kinds: 10 ancient buildings, grottoes and stone carvings; 20 sites and tombs; 30 museums.
const char* const kBuildingSites[] = {"华严寺", "善化寺", "隆兴寺", "开元寺",   "玄妙观", "文庙",
                                      "城隍庙", "关帝庙", "石窟",   "摩崖石刻", "古塔",   "钟鼓楼",
                                      "崇福寺", "广胜寺", "永乐宫", "书院",     "会馆",   "古城墙"};
const char* const kBuildingSuffixes[] = {"文物保管所", "文物管理所", "管理处", "文物保护管理所"};
const char* const kBuildingShort[] = {"文保所", "文管所", "管理处", "文保所"};

const char* const kSiteNames[] = {"古城遗址", "汉墓群",   "窑址",     "王陵",     "古墓群", "城址",
                                  "贝丘遗址", "聚落遗址", "宫城遗址", "烽燧遗址", "崖墓群", "冶铁遗址"};
const char* const kSiteSuffixes[] = {"保护管理所", "管理处", "文物管理站"};
const char* const kSiteShort[] = {"保管所", "管理处", "文管站"};

const char* const kMuseumNames[] = {"博物馆", "历史博物馆", "民俗博物馆", "革命纪念馆", "陈列馆",
                                    "美术馆", "石刻博物馆", "考古博物馆", "钱币博物馆", "陶瓷博物馆"};

const char* const kSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄", "周", "吴", "徐",
                                 "孙", "胡", "朱", "高", "林", "何", "郭", "马", "罗", "梁", "宋",
                                 "郑", "谢", "韩", "唐", "冯", "于", "董", "萧", "程", "曹"};
const char* const kGivenNames[] = {"建国", "文华", "志强", "秀英", "海燕", "国庆", "卫东", "丽娟", "明",
                                   "静",   "伟",   "磊",   "敏",   "军",   "红梅", "晓东", "玉兰", "春生",
                                   "学文", "振华", "淑芬", "立新", "永红", "桂兰", "德明", "建华"};
// Characters of GBK outside GB2312, as real files declared GB2312 carry them in names.
const char* const kGbkOnlyGivenNames[] = {"嘉镕", "晓堃", "喆", "珺", "雅玥", "昇", "翀", "旸",
                                          "赟",   "文彧", "祎", "瑄", "璟",   "昉", "祐", "志喆"};

const char* const kMailHosts[] = {"163.com", "126.com", "sina.com", "sohu.com", "yahoo.com.cn"};

const char* const kRelicAges[] = {"新石器时代", "商",   "西周", "春秋战国", "秦", "汉",   "南北朝",
                                  "隋唐",       "五代", "宋",   "辽金",     "元", "明清", "近现代"};
const char* const kBuildingRelicTypes[] = {"古建筑", "石窟寺", "石刻", "近现代重要史迹"};
const char* const kSiteRelicTypes[] = {"古遗址", "古墓葬"};
const char* const kMuseumRelicTypes[] = {"馆藏文物", "近现代重要史迹"};

const char* const kDamageDescriptions[] = {
    "部分青铜器锈蚀严重，纸质文物有霉变、虫蛀现象。",
    "库房潮湿，书画类文物褪色、断裂，漆木器开裂变形。",
    "出土陶器多有残破，铁器锈蚀，亟待修复。",
    "纺织品文物糟朽，部分丝织品已无法展开。",
    "石质文物风化、剥落，彩绘脱落。",
    "馆藏文物总体保存状况较好，少量瓷器有冲口、裂纹。",
};

// What a project of each class (1 to 9) says about its object, its problem and its work.
struct ProjectTexts
{
    const char* preserve;
    const char* problem;
    const char* content;
};
const ProjectTexts kProjectTexts[9][2] = {
    {{"现存主体建筑六座，保存有明代彩画和清代碑刻十余通。", "屋面渗漏，梁架糟朽，墙体开裂，局部有坍塌危险。",
      "对主体建筑进行揭顶维修，更换糟朽构件，整治周边环境。"},
     {"现存石窟四十余个，造像千余尊，题记多处。", "岩体裂隙发育，渗水严重，造像风化加剧。",
      "实施岩体加固和防渗排水工程，对造像进行表面保护。"}},
    {{"遗址面积约三十万平方米，文化层堆积较厚。", "基本建设工程涉及遗址区，需先期开展考古工作。",
      "开展考古勘探和发掘，整理资料并编写发掘报告。"},
     {"墓葬区内已探明大中型墓葬二十余座。", "墓葬多次被盗，随葬品面临流失危险。",
      "对被盗墓葬进行抢救性清理发掘，出土文物及时保护。"}},
    {{"馆藏文物一万余件，以青铜器、陶瓷器和书画为主。", "馆舍建于上世纪五十年代，陈列面积严重不足。",
      "新建陈列展览楼及配套设施，改造基本陈列。"},
     {"馆藏近现代文物三千余件，革命文物较多。", "展厅设施老化，不能满足开放需要。",
      "改扩建馆舍，更新陈列展览和公共服务设施。"}},
    {{"本地区流散民间的珍贵文物较多。", "文物交易活跃，珍贵文物外流现象时有发生。",
      "征集流散民间的珍贵文物，充实馆藏。"},
     {"馆藏体系尚不完整，缺少重要时期的代表性文物。", "部分重要文物已出现在拍卖市场。",
      "有计划地征集与本馆陈列体系相关的珍贵文物。"}},
    {{"文物建筑多为木结构，分布集中。", "消防、安防设施陈旧，不能满足文物安全需要。",
      "安装火灾自动报警系统和视频监控系统，完善消防供水。"},
     {"库房及展厅存放大量珍贵文物。", "无技防设施，夜间仅靠人工巡查。",
      "建设入侵报警、视频监控和周界防范系统。"}},
    {{"馆藏一、二级文物五百余件。", "部分馆藏文物锈蚀、霉变，病害严重。",
      "对馆藏珍贵文物进行保护修复，建立修复档案。"},
     {"保存有历年出土的重要漆木器和丝织品。", "出土文物脱水、脱盐处理不及时，出现开裂变形。",
      "对重要出土文物进行脱水、脱盐和加固处理。"}},
    {{"遗址地表可见夯土城墙和建筑台基。", "遗址遭受雨水冲刷和人为破坏，盗掘现象时有发生。",
      "设置遗址保护围栏和标识，实施本体加固和展示工程。"},
     {"墓葬封土保存较好，陵园布局清晰。", "封土水土流失严重，周边建设活动频繁。",
      "对封土进行加固，整治陵园环境。"}},
    {{"库房两座，保存有历年出土和征集的文物。", "库房面积狭小，温湿度无法控制，文物保存条件差。",
      "新建标准化文物库房，配置文物保存设备。"},
     {"文物存放于临时库房，柜架简陋。", "库房潮湿，虫害、霉变严重。",
      "改造文物库房，配置恒温恒湿设备和文物柜架。"}},
    {{"大遗址保护范围内现存城址、宫殿基址和墓葬区。", "城乡建设和农业生产对遗址威胁严重。",
      "编制保护规划，实施遗址本体保护和环境整治，建设遗址公园。"},
     {"遗址范围广大，地下遗存丰富。", "遗址区内村庄密集，遗址本体不断遭到蚕食。",
      "征用遗址核心区土地，实施本体保护和展示工程。"}},
};

const char* const kProtectionContents[] = {"新建库房及配套设施", "库房改造及恒温恒湿设备",
                                           "文物保存柜架及囊匣", "库房安防及消防系统"};
const char* const kRelicProtectionContents[] = {"遗址本体加固与保护展示", "遗址保护围栏及界桩",
                                                "墓葬保护棚及排水设施", "遗址环境整治与绿化"};

struct ProjectTypeName
{
    int code;
    const char* name;
};
const ProjectTypeName kProjectTypes[] = {
    {11, "古建筑维修"},       {12, "石窟寺保护"},
    {13, "石刻保护"},         {14, "近现代重要史迹保护"},
    {15, "古建筑彩画保护"},   {16, "古建筑迁建"},
    {17, "防洪排险"},         {18, "环境整治"},
    {19, "古建保护"},         {21, "配合基本建设考古发掘"},
    {22, "主动性考古发掘"},   {23, "抢救性考古发掘"},
    {24, "考古调查"},         {25, "考古勘探"},
    {26, "水下考古"},         {27, "考古资料整理"},
    {28, "考古报告出版"},     {29, "考古"},
    {31, "博物馆建设"},       {41, "珍贵文物征集"},
    {51, "安全消防设施建设"}, {61, "馆藏文物保护修复"},
    {71, "遗址本体保护"},     {72, "墓葬保护"},
    {73, "遗址展示"},         {74, "遗址环境整治"},
    {75, "遗址博物馆建设"},   {76, "遗址防护设施"},
    {77, "遗址监测"},         {78, "遗址保护规划编制"},
    {79, "遗址墓葬保护"},     {81, "文物保存环境及库房建设"},
    {91, "大遗址保护"},
};
const int kProjectAttributes[] = {1, 2, 3, 4, 5, 6};

// Project classes that units of each kind usually report.
const int kClassesOfBuildings[] = {1, 1, 1, 4, 5, 6};
const int kClassesOfSites[] = {2, 2, 7, 7, 9, 5};
const int kClassesOfMuseums[] = {3, 8, 8, 6, 4, 5};

const int kUnitClasses[] = {11, 12, 13, 14, 15, 20, 21, 22};
const int kRiskLevels[] = {10, 20};
const int kDeviceStatuses[] = {0, 1, 2, 3};

// Typical total fund demand of a project class, in 10,000 yuan.
struct FundRange
{
    double low;
    double high;
};
FundRange FundRangeOfClass(int projectClass)
{
    switch (projectClass)
    {
    case 1:
        return {30, 3000};
    case 2:
        return {20, 800};
    case 3:
        return {100, 5000};
    case 4:
        return {10, 500};
    case 5:
        return {15, 600};
    case 6:
        return {10, 400};
    case 7:
        return {50, 2000};
    case 8:
        return {50, 1500};
    case 9:
        return {500, 20000};
    default:
        return {10, 1000};
    }
}

QString PersonName(std::mt19937& rng, bool gbkOnly)
{
    const char* given = gbkOnly ? Pick(rng, kGbkOnlyGivenNames) : Pick(rng, kGivenNames);
    return QString::fromUtf8(Pick(rng, kSurnames)) + QString::fromUtf8(given);
}

QString PhoneNumber(std::mt19937& rng, const char* phoneCode)
{
    const int digits = QByteArray(phoneCode).size() == 3 ? 8 : 7;
    const int low = digits == 8 ? 60000000 : 2000000;
    return QString::fromLatin1(phoneCode) + QLatin1Char('-') + Number(Uniform(rng, low, low * 15 / 10));
}

// ---- Encoding

QByteArray EncodeGb18030(const QString& text)
{
    QByteArray input = text.toUtf8();
    iconv_t cd = iconv_open("GB18030", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw CorvaneError(QStringLiteral("iconv cannot convert UTF-8 to GB18030"));
    QByteArray output(input.size() * 2 + 16, Qt::Uninitialized);
    char* in = input.data();
    size_t inLeft = static_cast<size_t>(input.size());
    char* out = output.data();
    size_t outLeft = static_cast<size_t>(output.size());
    const size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
    iconv_close(cd);
    if (result == static_cast<size_t>(-1))
        throw CorvaneError(QStringLiteral("text not encodable as GB18030"));
    output.truncate(output.size() - static_cast<int>(outLeft));
    return output;
}

// ---- XML text

QString Escape(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    escaped.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    escaped.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return escaped;
}

// Writes elements either on one line (as programs save them) or indented with each value on a
// line of its own (as editors leave them).
class XmlText
{
public:
    explicit XmlText(bool pretty) : m_pretty(pretty)
    {
        m_text.reserve(8192);
        m_text += QLatin1String("<?xml version=\"1.0\" encoding=\"GB2312\"?>");
        m_text += NewLine();
    }

    void Open(const char* name)
    {
        Indent();
        OpenTag(name);
        m_text += NewLine();
        ++m_depth;
    }

    void Close(const char* name)
    {
        --m_depth;
        Indent();
        CloseTag(name);
        m_text += NewLine();
    }

    void Leaf(const char* name, const QString& value)
    {
        if (value.isNull())
            return;
        Indent();
        OpenTag(name);
        if (m_pretty && !value.isEmpty())
        {
            m_text += NewLine();
            ++m_depth;
            Indent();
            m_text += Escape(value);
            m_text += NewLine();
            --m_depth;
            Indent();
        }
        else
        {
            m_text += Escape(value);
        }
        CloseTag(name);
        m_text += NewLine();
    }

    QByteArray Bytes() const { return EncodeGb18030(m_text); }

private:
    void OpenTag(const char* name)
    {
        m_text += QLatin1Char('<');
        m_text += QLatin1String(name);
        m_text += QLatin1Char('>');
    }
    void CloseTag(const char* name)
    {
        m_text += QLatin1String("</");
        m_text += QLatin1String(name);
        m_text += QLatin1Char('>');
    }
    QLatin1String NewLine() const { return m_pretty ? QLatin1String("\r\n") : QLatin1String(""); }
    void Indent()
    {
        if (m_pretty)
            m_text += QString(m_depth, QLatin1Char('\t'));
    }

    bool m_pretty;
    int m_depth = 0;
    QString m_text;
};

const char* const kGradeElements[] = {"FirstClassItem", "SecondClassItem", "ThirdClassItem", "ValuableRelic"};

// ---- Files

bool WriteFileAtomically(const QString& path, const QByteArray& bytes)
{
    // QSaveFile would fsync every file, which costs minutes for a benchmark set.
    const QString temporary = path + QStringLiteral(".part");
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
    {
        file.remove();
        return false;
    }
    file.close();
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(temporary.toStdU16String()),
                            std::filesystem::path(path.toStdU16String()), error);
    if (error)
    {
        QFile::remove(temporary);
        return false;
    }
    return true;
}

void WriteOrThrow(const QString& path, const QByteArray& bytes)
{
    if (!WriteFileAtomically(path, bytes))
        throw CorvaneError(QStringLiteral("cannot write ") + QDir::toNativeSeparators(path));
}

QString CompanionPath(const QString& path)
{
    return path.left(path.lastIndexOf(QLatin1Char('.')) + 1) + QStringLiteral("htm");
}

} // namespace

QByteArray MakeUnitFile(const UnitSample& unit)
{
    XmlText xml(unit.pretty);
    xml.Open("CorpInfo");
    xml.Open("Basic");
    xml.Leaf("CorpID", unit.corpId);
    xml.Leaf("Name", unit.name);
    xml.Leaf("ShortName", unit.shortName);
    xml.Leaf("AreaCode", unit.areaCode);
    xml.Leaf("Address", unit.address);
    xml.Leaf("PostCode", unit.postCode);
    xml.Leaf("PhoneNo", unit.phoneNo);
    xml.Leaf("FaxNo", unit.faxNo);
    xml.Leaf("Email", unit.email);
    xml.Leaf("Type", unit.type);
    xml.Leaf("Class", unit.corpClass);
    xml.Leaf("Risc", unit.risc);
    xml.Close("Basic");
    xml.Open("ReportInfo");
    xml.Leaf("ReportUser", unit.reportUser);
    xml.Leaf("ReportDate", unit.reportDate);
    xml.Close("ReportInfo");

    xml.Open("Reserve");
    xml.Leaf("DepotArea", unit.depotArea);
    xml.Leaf("TotalItemNum", unit.totalItemNum);
    xml.Open("ItemDetail");
    for (size_t grade = 0; grade < unit.itemDetail.size(); ++grade)
    {
        const ItemGradeSample& item = unit.itemDetail[grade];
        xml.Open(kGradeElements[grade]);
        xml.Leaf("TotalNum", item.totalNum);
        xml.Open("DetailNum");
        xml.Leaf("GoodNum", item.goodNum);
        xml.Leaf("SlightDamagedNum", item.slightDamagedNum);
        xml.Leaf("SevereDamagedNum", item.severeDamagedNum);
        xml.Close("DetailNum");
        xml.Leaf("FundDemand", item.fundDemand);
        xml.Close(kGradeElements[grade]);
    }
    xml.Close("ItemDetail");
    xml.Leaf("DamageDescription", unit.damageDescription);
    xml.Close("Reserve");

    xml.Open("Security");
    xml.Open("AreaInfo");
    xml.Leaf("CorpArea", unit.corpArea);
    xml.Leaf("ItemArea", unit.itemArea);
    xml.Close("AreaInfo");
    xml.Open("StolenInfo");
    xml.Leaf("StolenTimes", unit.stolenTimes);
    xml.Leaf("StolenItemNum", unit.stolenItemNum);
    xml.Close("StolenInfo");
    xml.Open("FireProtect");
    xml.Leaf("WaterSupplyDeviceStatus", unit.waterSupplyDeviceStatus);
    xml.Leaf("AlarmDeviceStatus", unit.alarmDeviceStatus);
    xml.Leaf("LightingDeviceStatus", unit.lightingDeviceStatus);
    xml.Close("FireProtect");
    xml.Leaf("SecurityDeviceStatus", unit.securityDeviceStatus);
    xml.Leaf("StoreDeviceStatus", unit.storeDeviceStatus);
    xml.Close("Security");

    xml.Open("Construction");
    xml.Open("GreatSite");
    xml.Leaf("TotalArea", unit.totalArea);
    xml.Leaf("CoreArea", unit.coreArea);
    xml.Leaf("RelicAge", unit.relicAge);
    xml.Leaf("RelicType", unit.relicType);
    xml.Close("GreatSite");
    xml.Open("Depot");
    xml.Leaf("FireSecurityDeviceStatus", unit.fireSecurityDeviceStatus);
    xml.Leaf("RelicProtectionDeviceStatus", unit.relicProtectionDeviceStatus);
    xml.Close("Depot");
    xml.Close("Construction");
    xml.Close("CorpInfo");
    return xml.Bytes();
}

QByteArray MakeProjectFile(const ProjectSample& project)
{
    XmlText xml(project.pretty);
    xml.Open("Report");
    xml.Open("ReportInfo");
    xml.Leaf("CorpID", project.corpId);
    xml.Leaf("ReportDate", project.reportDate);
    xml.Close("ReportInfo");

    xml.Open("BasicInfo");
    xml.Leaf("ProjectID", project.projectId);
    xml.Leaf("ProjectName", project.projectName);
    xml.Leaf("PreserveContent", project.preserveContent);
    xml.Leaf("CurrentProblem", project.currentProblem);
    xml.Leaf("ProjectContent", project.projectContent);
    xml.Leaf("Remark", project.remark);
    xml.Leaf("ProjectType", project.projectType);
    xml.Leaf("ProjectAttribute", project.projectAttribute);
    xml.Open("SalvageItem");
    xml.Leaf("NewDepotArea", project.newDepotArea);
    xml.Leaf("ProtectionContent", project.protectionContent);
    xml.Leaf("RelicProtectionArea", project.relicProtectionArea);
    xml.Leaf("RelicProtectionContent", project.relicProtectionContent);
    xml.Close("SalvageItem");
    xml.Open("AssitantItem");
    xml.Leaf("ProtectionArea", project.protectionArea);
    xml.Close("AssitantItem");
    xml.Close("BasicInfo");

    xml.Open("FundDemand");
    xml.Open("Investment");
    xml.Leaf("State", project.stateInvest);
    xml.Leaf("Local", project.localInvest);
    xml.Leaf("Other", project.otherInvest);
    xml.Close("Investment");
    xml.Open("Demand");
    xml.Leaf("Total", project.totalFund);
    const std::array<std::pair<const char*, const std::array<QString, kPlanYearCount>*>, 2> sources = {
        {{"State", &project.stateByYear}, {"Local", &project.localByYear}}};
    for (const auto& [source, values] : sources)
    {
        xml.Open(source);
        for (int year = 0; year < kPlanYearCount; ++year)
        {
            const QByteArray element = "Year" + QByteArray::number(kFirstPlanYear + year);
            xml.Leaf(element.constData(), (*values)[static_cast<size_t>(year)]);
        }
        xml.Close(source);
    }
    xml.Close("Demand");
    xml.Close("FundDemand");

    // Items are grouped by their first path segment; RelicPurchase holds Total and State itself.
    xml.Open("BudgetDetail");
    QByteArray openGroup;
    for (size_t i = 0; i < kBudgetItems.size(); ++i)
    {
        const QList<QByteArray> parts = QByteArray(kBudgetItems[i].path).split('/');
        if (parts.first() != openGroup)
        {
            if (!openGroup.isEmpty())
                xml.Close(openGroup.constData());
            openGroup = parts.first();
            xml.Open(openGroup.constData());
        }
        if (parts.size() > 1)
            xml.Open(parts[1].constData());
        xml.Leaf("Total", project.budget[i].total);
        xml.Leaf("State", project.budget[i].state);
        if (parts.size() > 1)
            xml.Close(parts[1].constData());
    }
    xml.Close(openGroup.constData());
    xml.Close("BudgetDetail");
    xml.Close("Report");
    return xml.Bytes();
}

QByteArray MakeCompanionPage(const QString& title, const QString& corpId, const QString& reportDate)
{
    const QString page =
        QStringLiteral(
            "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
            "charset=gb2312\">\r\n<title>%1</title>\r\n</head>\r\n<body>\r\n<h2>%1</h2>\r\n"
            "<p>单位代码：%2</p>\r\n<p>填报日期：%3</p>\r\n<p>本页由填报软件生成，供打印存档。</p>\r\n"
            "</body>\r\n</html>\r\n")
            .arg(Escape(title), Escape(corpId), Escape(reportDate));
    return EncodeGb18030(page);
}

UnitSample RandomUnit(std::mt19937& rng, int index)
{
    UnitSample unit;
    const Place& place = Pick(rng, kPlaces);
    const QString city = QString::fromUtf8(place.city);

    const int corpClass = Cover(rng, index, 0, kUnitClasses);
    // Classes 11 to 15 are immovable relics (kinds 10 and 20), 20 to 22 museums (kind 30).
    int type = 30;
    if (corpClass < 20)
        type = (index >= 0 && index < 16) ? ((index + index / 8) % 2 == 0 ? 10 : 20)
                                          : (Chance(rng, 0.5) ? 10 : 20);

    unit.areaCode = QString::fromLatin1(place.areaCode);
    unit.corpId = unit.areaCode + QStringLiteral("%1").arg(index + 1, 4, 10, QLatin1Char('0'));
    if (type == 10)
    {
        const int suffix = Uniform(rng, 0, 3);
        const QString site = QString::fromUtf8(Pick(rng, kBuildingSites));
        unit.name = city + site + QString::fromUtf8(kBuildingSuffixes[suffix]);
        unit.shortName = site + QString::fromUtf8(kBuildingShort[suffix]);
    }
    else if (type == 20)
    {
        const int suffix = Uniform(rng, 0, 2);
        const QString site = QString::fromUtf8(Pick(rng, kSiteNames));
        unit.name = city + site + QString::fromUtf8(kSiteSuffixes[suffix]);
        unit.shortName = city.left(2) + site + QString::fromUtf8(kSiteShort[suffix]);
    }
    else
    {
        const QString museum = QString::fromUtf8(Pick(rng, kMuseumNames));
        unit.name = city + museum;
        unit.shortName = city.left(2) + museum;
    }
    unit.address = QString::fromUtf8(place.province) + city + QString::fromUtf8(Pick(rng, kStreets)) +
                   Number(Uniform(rng, 1, 299)) + QStringLiteral("号");
    unit.postCode = QString::fromLatin1(place.postCode);
    unit.phoneNo = PhoneNumber(rng, place.phoneCode);
    unit.faxNo = Chance(rng, 0.7) ? PhoneNumber(rng, place.phoneCode) : EmptyText();
    unit.email =
        QStringLiteral("wenwu%1@%2").arg(Uniform(rng, 100, 9999)).arg(QLatin1String(Pick(rng, kMailHosts)));
    unit.type = Number(type);
    unit.corpClass = Number(corpClass);
    unit.risc = Number(Cover(rng, index, 1, kRiskLevels));
    unit.reportUser = PersonName(rng, index % 3 == 0);
    unit.reportDate = ReportDate(rng);

    // Collections: museums keep many items, sites their finds, buildings few.
    const double scale = type == 30 ? 20000 : (type == 20 ? 5000 : 500);
    long long gradeSum = 0;
    for (size_t grade = 0; grade < unit.itemDetail.size(); ++grade)
    {
        static const double kGradeShare[] = {0.01, 0.06, 0.25, 0.4};
        const long long total = std::llround(Spread(rng, 1, scale * kGradeShare[grade] + 2)) - 1;
        const long long severe = std::llround(total * Unit01(rng) * 0.12);
        const long long slight = std::llround((total - severe) * Unit01(rng) * 0.3);
        // A few items may be left unassessed, so the conditions may fall short of the total.
        const long long unassessed = Chance(rng, 0.2) ? std::llround((total - severe - slight) * 0.05) : 0;
        ItemGradeSample& item = unit.itemDetail[grade];
        item.totalNum = Number(total);
        item.severeDamagedNum = Number(severe);
        item.slightDamagedNum = Number(slight);
        item.goodNum = Number(total - severe - slight - unassessed);
        item.fundDemand =
            total == 0 ? QStringLiteral("0") : Amount(ToCents((severe * 0.8 + slight * 0.15) + 1));
        gradeSum += total;
    }
    unit.totalItemNum = Number(gradeSum + std::llround(Spread(rng, 1, scale)) - 1);
    unit.depotArea = Decimal(Spread(rng, 20, type == 30 ? 5000 : 800), 1);
    unit.damageDescription = QString::fromUtf8(Pick(rng, kDamageDescriptions));

    const double corpArea = Spread(rng, 300, type == 20 ? 500000 : 60000);
    unit.corpArea = Decimal(corpArea, 1);
    unit.itemArea = Decimal(corpArea * (0.05 + 0.6 * Unit01(rng)), 1);
    const int stolenTimes = Chance(rng, 0.15) ? Uniform(rng, 1, 3) : 0;
    unit.stolenTimes = Number(stolenTimes);
    unit.stolenItemNum = Number(stolenTimes == 0 ? 0 : Uniform(rng, stolenTimes, stolenTimes * 6));
    unit.waterSupplyDeviceStatus = Number(Cover(rng, index, 0, kDeviceStatuses));
    unit.alarmDeviceStatus = Number(Cover(rng, index, 1, kDeviceStatuses));
    unit.lightingDeviceStatus = Number(Cover(rng, index, 2, kDeviceStatuses));
    unit.securityDeviceStatus = Number(Cover(rng, index, 3, kDeviceStatuses));
    unit.storeDeviceStatus = Number(Cover(rng, index, 0, kDeviceStatuses));

    const double totalArea = type == 20 ? Spread(rng, 10, 5000) : Spread(rng, 0.5, 50);
    unit.totalArea = Decimal(totalArea, 2);
    unit.coreArea = Decimal(totalArea * (0.1 + 0.5 * Unit01(rng)), 2);
    unit.relicAge = QString::fromUtf8(Pick(rng, kRelicAges));
    unit.relicType = QString::fromUtf8(type == 10   ? Pick(rng, kBuildingRelicTypes)
                                       : type == 20 ? Pick(rng, kSiteRelicTypes)
                                                    : Pick(rng, kMuseumRelicTypes));
    unit.fireSecurityDeviceStatus = Number(Cover(rng, index, 1, kDeviceStatuses));
    unit.relicProtectionDeviceStatus = Number(Cover(rng, index, 2, kDeviceStatuses));
    return unit;
}

ProjectSample RandomProject(std::mt19937& rng, int index, const QString& corpId, int corpType,
                            const QString& corpShortName)
{
    ProjectSample project;
    project.corpId = corpId;
    project.reportDate = ReportDate(rng);
    project.projectId = QStringLiteral("XM%1").arg(index + 1, 6, 10, QLatin1Char('0'));

    constexpr int kTypeCount = static_cast<int>(std::size(kProjectTypes));
    const ProjectTypeName* type = nullptr;
    if (index >= 0 && index < kTypeCount)
    {
        type = &kProjectTypes[index];
    }
    else
    {
        const int wanted = corpType == 10   ? Pick(rng, kClassesOfBuildings)
                           : corpType == 20 ? Pick(rng, kClassesOfSites)
                           : corpType == 30 ? Pick(rng, kClassesOfMuseums)
                                            : 0;
        std::vector<const ProjectTypeName*> candidates;
        for (const ProjectTypeName& candidate : kProjectTypes)
        {
            if (wanted == 0 || candidate.code / 10 == wanted)
                candidates.push_back(&candidate);
        }
        type = candidates[rng() % candidates.size()];
    }
    const int projectClass = type->code / 10;
    project.projectType = Number(type->code);
    project.projectAttribute = Number(Cover(rng, index, 0, kProjectAttributes));

    const QString owner =
        corpShortName.isEmpty() ? QString::fromUtf8(Pick(rng, kPlaces).city) : corpShortName;
    project.projectName =
        owner + QString::fromUtf8(type->name) +
        (projectClass == 2 || projectClass == 4 ? QStringLiteral("项目") : QStringLiteral("工程"));
    const ProjectTexts& texts = kProjectTexts[projectClass - 1][rng() % 2];
    project.preserveContent = QString::fromUtf8(texts.preserve);
    project.currentProblem = QString::fromUtf8(texts.problem);
    project.projectContent = QString::fromUtf8(texts.content);
    if (index % 6 == 0)
        project.remark = QStringLiteral("联系人：") + PersonName(rng, true);
    else if (Chance(rng, 0.3))
        project.remark = QStringLiteral("联系人：") + PersonName(rng, false);
    else
        project.remark = EmptyText();

    project.newDepotArea = QStringLiteral("0");
    project.protectionContent = EmptyText();
    project.relicProtectionArea = QStringLiteral("0");
    project.relicProtectionContent = EmptyText();
    project.protectionArea = QStringLiteral("0");
    if (projectClass == 8)
    {
        project.newDepotArea = Decimal(Spread(rng, 100, 3000), 1);
        project.protectionContent = QString::fromUtf8(Pick(rng, kProtectionContents));
    }
    else if (projectClass == 9 || projectClass == 7)
    {
        project.relicProtectionArea = Decimal(Spread(rng, 1, 500), 2);
        project.relicProtectionContent = QString::fromUtf8(Pick(rng, kRelicProtectionContents));
        project.protectionArea = Decimal(Spread(rng, 1, 2000), 2);
    }

    // Investment by source, in hundredths of 10,000 yuan so that the parts add up exactly.
    const FundRange range = FundRangeOfClass(projectClass);
    const long long total = ToCents(Spread(rng, range.low, range.high));
    const long long state = std::llround(total * (0.4 + 0.5 * Unit01(rng)));
    const long long local = Chance(rng, 0.2) ? total - state : std::llround((total - state) * Unit01(rng));
    const long long other = total - state - local;
    project.stateInvest = Amount(state);
    project.localInvest = Amount(local);
    project.otherInvest = Amount(other);
    project.totalFund = Amount(total);

    // The demand spreads over consecutive plan years.
    const int first = index >= 0 && index < kPlanYearCount ? index : Uniform(rng, 0, kPlanYearCount - 1);
    const int last = Uniform(rng, first, kPlanYearCount - 1);
    std::vector<double> yearWeights(kPlanYearCount, 0.0);
    for (int year = first; year <= last; ++year)
        yearWeights[static_cast<size_t>(year)] = 0.5 + Unit01(rng);
    const std::vector<long long> stateYears = SplitByWeights(state, yearWeights);
    const std::vector<long long> localYears = SplitByWeights(local, yearWeights);
    for (size_t year = 0; year < static_cast<size_t>(kPlanYearCount); ++year)
    {
        project.stateByYear[year] = Amount(stateYears[year]);
        project.localByYear[year] = Amount(localYears[year]);
    }

    // The budget falls on the items of the project's own group, sometimes with fire security.
    const int group = projectClass == 9 ? 7 : projectClass;
    std::vector<double> itemWeights(kBudgetItems.size(), 0.0);
    const bool withFireSecurity = projectClass != 5 && Chance(rng, 0.3);
    for (size_t i = 0; i < kBudgetItems.size(); ++i)
    {
        const int itemGroup = kBudgetItems[i].code[0] - '0';
        if ((itemGroup == group && Chance(rng, 0.7)) || (itemGroup == 5 && withFireSecurity))
            itemWeights[i] = Spread(rng, 0.2, 5);
    }
    if (index >= 0 && static_cast<size_t>(index) < kBudgetItems.size())
        itemWeights[static_cast<size_t>(index)] = Spread(rng, 0.2, 5);
    if (std::all_of(itemWeights.begin(), itemWeights.end(), [](double w) { return w == 0; }))
    {
        for (size_t i = 0; i < kBudgetItems.size(); ++i)
        {
            if (kBudgetItems[i].code[0] - '0' == group)
            {
                itemWeights[i] = 1;
                break;
            }
        }
    }
    const std::vector<long long> itemTotals = SplitByWeights(total, itemWeights);
    // The state part of each line in the share of the whole, the odd hundredths where room is left.
    std::vector<long long> itemStates(itemTotals.size(), 0);
    long long stateGiven = 0;
    for (size_t i = 0; i < itemTotals.size(); ++i)
    {
        itemStates[i] = total == 0 ? 0 : itemTotals[i] * state / total;
        stateGiven += itemStates[i];
    }
    for (size_t i = 0; i < itemTotals.size() && stateGiven < state; ++i)
    {
        const long long extra = std::min(itemTotals[i] - itemStates[i], state - stateGiven);
        itemStates[i] += extra;
        stateGiven += extra;
    }
    for (size_t i = 0; i < kBudgetItems.size(); ++i)
    {
        project.budget[i].total = Amount(itemTotals[i]);
        project.budget[i].state = Amount(itemStates[i]);
    }
    return project;
}

SampleSetCounts WriteSampleSet(const QString& folder, int units, int projects, unsigned seed, bool allPretty)
{
    if (units < 0 || projects < 0 || (projects > 0 && units == 0))
        throw CorvaneError(QStringLiteral("projects need at least one unit"));
    if (!QDir().mkpath(folder))
        throw CorvaneError(QStringLiteral("cannot create ") + QDir::toNativeSeparators(folder));
    const QString base = QDir(folder).absolutePath() + QLatin1Char('/');

    // Numbers padded to one width, so that sorted names keep the order of generation.
    const int unitWidth = std::max(4, static_cast<int>(QString::number(units).size()));
    const int projectWidth = std::max(6, static_cast<int>(QString::number(projects).size()));

    std::mt19937 rng(seed);
    SampleSetCounts counts;
    std::vector<UnitSample> written;
    written.reserve(static_cast<size_t>(units));
    for (int i = 0; i < units; ++i)
    {
        UnitSample unit = RandomUnit(rng, i);
        unit.pretty = allPretty || i % 4 == 3;
        const QString path = base + QStringLiteral("U%1.dw").arg(i + 1, unitWidth, 10, QLatin1Char('0'));
        WriteOrThrow(path, MakeUnitFile(unit));
        ++counts.units;
        if (i % 10 == 9)
        {
            WriteOrThrow(CompanionPath(path), MakeCompanionPage(unit.name, unit.corpId, unit.reportDate));
            ++counts.companions;
        }
        written.push_back(std::move(unit));
    }
    for (int i = 0; i < projects; ++i)
    {
        const UnitSample& unit = written[static_cast<size_t>(static_cast<long long>(i) * units / projects)];
        ProjectSample project = RandomProject(rng, i, unit.corpId, unit.type.toInt(), unit.shortName);
        project.pretty = allPretty || i % 4 == 3;
        const QString path = base + QStringLiteral("P%1.xm").arg(i + 1, projectWidth, 10, QLatin1Char('0'));
        WriteOrThrow(path, MakeProjectFile(project));
        ++counts.projects;
        if (i % 10 == 9)
        {
            WriteOrThrow(CompanionPath(path),
                         MakeCompanionPage(project.projectName, project.corpId, project.reportDate));
            ++counts.companions;
        }
    }
    return counts;
}
