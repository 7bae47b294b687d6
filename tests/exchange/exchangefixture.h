// A small customer tree for the export and import tests: two customers, cables and sets with
// records of distinct voltages, and a scripted answerer for the import's questions.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "exchange/importmerge.h"
#include "model/cp932text.h"
#include "model/customerdb.h"
#include "samplerecords.h"

namespace xtest {

inline CMeasRecord record(double kV, int dataNo, double lastCurrent = 1.5)
{
    CMeasRecord r;
    r.DataNo = dataNo;
    r.TestVoltage = kV;
    r.LastCurrent = lastCurrent;
    r.StartTime = *OleDateTime::fromCalendar({2024, 4, 1, 10, 0, dataNo});
    r.Points = {{CDataValue(2.0), 0.0}, {CDataValue(lastCurrent), 75.4}};
    r.UsedPoints = 2;
    return r;
}

inline CMeasData& set(CCustomerDB& db, const std::string& customer, const std::string& cable,
                      const std::string& name)
{
    return sample::setAt(db, customer, cable, name);
}

// "顧客Ａ" / "CV-1" / "2024春" (3 records: 6, 3, 9 kV inserted), "2024秋" (1 record);
// "顧客Ａ" / "CV-2" / "初回" (1 record); "Beta" / "X1" / "s" (1 record).
inline CCustomerDB sampleTree()
{
    CCustomerDB db;
    db.comm.port = 5;
    db.comm.baudRate = 9600;
    CMeasData& spring = set(db, cp932::lit("顧客Ａ"), "CV-1", cp932::lit("2024春"));
    spring.InsertRecord(record(6.0, 1));
    spring.InsertRecord(record(3.0, 2));
    spring.InsertRecord(record(9.0, 3));
    set(db, cp932::lit("顧客Ａ"), "CV-1", cp932::lit("2024秋")).InsertRecord(record(6.0, 4));
    set(db, cp932::lit("顧客Ａ"), "CV-2", cp932::lit("初回")).InsertRecord(record(3.0, 5));
    set(db, "Beta", "X1", "s").InsertRecord(record(1.0, 6));
    return db;
}

// Answers the import's questions from a queue and keeps every question asked; a question
// with no answer left is answered No.
struct ScriptedQuestions : CImportQuestions {
    std::deque<bool> answers;
    std::vector<std::string> asked;
    bool ConfirmMerge(const std::string& question) override { return answer(question); }
    bool ConfirmConditions(const std::string& question) override { return answer(question); }
    bool answer(const std::string& question)
    {
        asked.push_back(question);
        if (answers.empty())
            return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
};

} // namespace xtest
