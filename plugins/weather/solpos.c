// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

/*
 * Solar position after NREL's SOLPOS 2.0 (Michalsky's approximation of the
 * Astronomical Almanac's low-precision formulas, valid 1950-2050). Values are
 * kept in single precision, as the published library does, so that results
 * match it.
 */
#include "solpos.h"

#include <math.h>
#include <stdio.h>

#define SOLPOS_PI 3.1415926535897932385
#define RAD_PER_DEG (SOLPOS_PI / 180.0)
#define DEG_PER_RAD (180.0 / SOLPOS_PI)

/* Sines and cosines shared between the steps. */
struct trigdata
{
    float cd; /* cos(declination) */
    float ch; /* cos(hour angle) */
    float cl; /* cos(latitude) */
    float sd; /* sin(declination) */
    float sl; /* sin(latitude) */
};

/* First day of the year of each month (1-based), in a common year. */
static const int month_start[13] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

static int is_leap_year(int year)
{
    return (year % 4 == 0) && ((year % 100 != 0) || (year % 400 == 0));
}

static void set_bit(long *code, int bit)
{
    *code |= (1L << bit);
}

/* The float checks are written so that NaN counts as out of range. */
static long validate(const struct posdata *pdat)
{
    long code = 0;

    if (pdat->function & L_GEOM) {
        if (pdat->year < 1950 || pdat->year > 2050)
            set_bit(&code, S_YEAR_ERROR);
        if (!(pdat->function & S_DOY) && (pdat->month < 1 || pdat->month > 12))
            set_bit(&code, S_MONTH_ERROR);
        if (!(pdat->function & S_DOY) && (pdat->day < 1 || pdat->day > 31))
            set_bit(&code, S_DAY_ERROR);
        if ((pdat->function & S_DOY) && (pdat->daynum < 1 || pdat->daynum > 366))
            set_bit(&code, S_DOY_ERROR);

        if (pdat->hour < 0 || pdat->hour > 24)
            set_bit(&code, S_HOUR_ERROR);
        if (pdat->minute < 0 || pdat->minute > 59)
            set_bit(&code, S_MINUTE_ERROR);
        if (pdat->second < 0 || pdat->second > 59)
            set_bit(&code, S_SECOND_ERROR);
        /* 24:00:00 is the end of the day; nothing lies beyond it. */
        if (pdat->hour == 24 && pdat->minute > 0) {
            set_bit(&code, S_HOUR_ERROR);
            set_bit(&code, S_MINUTE_ERROR);
        }
        if (pdat->hour == 24 && pdat->second > 0) {
            set_bit(&code, S_HOUR_ERROR);
            set_bit(&code, S_SECOND_ERROR);
        }

        if (!(fabs(pdat->timezone) <= 12.0))
            set_bit(&code, S_TZONE_ERROR);
        if (pdat->interval < 0 || pdat->interval > 28800)
            set_bit(&code, S_INTRVL_ERROR);
        if (!(fabs(pdat->latitude) <= 90.0))
            set_bit(&code, S_LAT_ERROR);
        if (!(fabs(pdat->longitude) <= 180.0))
            set_bit(&code, S_LON_ERROR);
    }

    if (pdat->function & L_REFRAC) {
        if (!(fabs(pdat->temp) <= 100.0))
            set_bit(&code, S_TEMP_ERROR);
        if (!(pdat->press >= 0.0 && pdat->press <= 2000.0))
            set_bit(&code, S_PRESS_ERROR);
    }

    if (pdat->function & L_TILT) {
        if (!(fabs(pdat->tilt) <= 180.0))
            set_bit(&code, S_TILT_ERROR);
        if (!(fabs(pdat->aspect) <= 360.0))
            set_bit(&code, S_ASPECT_ERROR);
    }

    if (pdat->function & L_SBCF) {
        if (!(pdat->sbwid >= 1.0 && pdat->sbwid <= 100.0))
            set_bit(&code, S_SBWID_ERROR);
        if (!(pdat->sbrad >= 1.0 && pdat->sbrad <= 100.0))
            set_bit(&code, S_SBRAD_ERROR);
        if (!(fabs(pdat->sbsky) <= 1.0))
            set_bit(&code, S_SBSKY_ERROR);
    }

    return code;
}

/* Month and day of the month from the day of the year. */
static void doy2dom(struct posdata *pdat)
{
    const int leap = is_leap_year(pdat->year);
    int month = 12;

    while (month > 1) {
        const int start = month_start[month] + ((leap && month > 2) ? 1 : 0);
        if (pdat->daynum > start)
            break;
        --month;
    }
    pdat->month = month;
    pdat->day = pdat->daynum - month_start[month] - ((leap && month > 2) ? 1 : 0);
}

/* Day of the year from month and day of the month. */
static void dom2doy(struct posdata *pdat)
{
    pdat->daynum = pdat->day + month_start[pdat->month];
    if (pdat->month > 2 && is_leap_year(pdat->year))
        pdat->daynum += 1;
}

/* Reduces an angle into [0, limit). */
static float reduce(float value, float limit)
{
    value -= limit * (int)(value / limit);
    if (value < 0.0f)
        value += limit;
    return value;
}

static void geometry(struct posdata *pdat)
{
    float sd, cd, d2, c2, s2;
    int delta, leap;

    /* Day angle, and from it the earth radius vector (Spencer's series). */
    pdat->dayang = 360.0f * (pdat->daynum - 1) / 365.0f;
    sd = (float)sin(RAD_PER_DEG * pdat->dayang);
    cd = (float)cos(RAD_PER_DEG * pdat->dayang);
    d2 = 2.0f * pdat->dayang;
    c2 = (float)cos(RAD_PER_DEG * d2);
    s2 = (float)sin(RAD_PER_DEG * d2);
    pdat->erv = 1.000110f + 0.034221f * cd + 0.001280f * sd + 0.000719f * c2 + 0.000077f * s2;

    /* Universal time in hours, at the middle of the interval. */
    pdat->utime = pdat->hour * 3600.0f + pdat->minute * 60.0f + pdat->second - pdat->interval / 2.0f;
    pdat->utime = pdat->utime / 3600.0f - pdat->timezone;

    /* Julian day less 2,400,000, counted from 1949 so that single precision holds. */
    delta = pdat->year - 1949;
    leap = (int)(delta / 4.0);
    pdat->julday = 32916.5f + delta * 365.0f + leap + pdat->daynum + pdat->utime / 24.0f;

    /* Days since the J2000.0 epoch, the time of the ephemeris formulas. */
    pdat->ectime = pdat->julday - 51545.0f;

    pdat->mnlong = reduce(280.460f + 0.9856474f * pdat->ectime, 360.0f);
    pdat->mnanom = reduce(357.528f + 0.9856003f * pdat->ectime, 360.0f);

    pdat->eclong = pdat->mnlong + 1.915f * (float)sin(pdat->mnanom * RAD_PER_DEG)
        + 0.020f * (float)sin(2.0 * pdat->mnanom * RAD_PER_DEG);
    pdat->eclong = reduce(pdat->eclong, 360.0f);

    pdat->ecobli = 23.439f - 4.0e-07f * pdat->ectime;

    pdat->declin = (float)(DEG_PER_RAD
        * asin(sin(pdat->ecobli * RAD_PER_DEG) * sin(pdat->eclong * RAD_PER_DEG)));

    pdat->rascen = (float)(DEG_PER_RAD
        * atan2(cos(RAD_PER_DEG * pdat->ecobli) * sin(RAD_PER_DEG * pdat->eclong),
                cos(RAD_PER_DEG * pdat->eclong)));
    if (pdat->rascen < 0.0f)
        pdat->rascen += 360.0f;

    pdat->gmst = reduce(6.697375f + 0.0657098242f * pdat->ectime + pdat->utime, 24.0f);
    pdat->lmst = reduce(pdat->gmst * 15.0f + pdat->longitude, 360.0f);

    pdat->hrang = pdat->lmst - pdat->rascen;
    if (pdat->hrang < -180.0f)
        pdat->hrang += 360.0f;
    else if (pdat->hrang > 180.0f)
        pdat->hrang -= 360.0f;
}

static void fill_trig(const struct posdata *pdat, struct trigdata *tdat)
{
    tdat->cd = (float)cos(RAD_PER_DEG * pdat->declin);
    tdat->ch = (float)cos(RAD_PER_DEG * pdat->hrang);
    tdat->cl = (float)cos(RAD_PER_DEG * pdat->latitude);
    tdat->sd = (float)sin(RAD_PER_DEG * pdat->declin);
    tdat->sl = (float)sin(RAD_PER_DEG * pdat->latitude);
}

static void zen_no_ref(struct posdata *pdat, const struct trigdata *tdat)
{
    float cz;

    cz = tdat->sd * tdat->sl + tdat->cd * tdat->cl * tdat->ch;
    /* Rounding may step just outside the cosine's range. */
    if (cz > 1.0f)
        cz = 1.0f;
    else if (cz < -1.0f)
        cz = -1.0f;

    pdat->zenetr = (float)(acos(cz) * DEG_PER_RAD);
    /* Far below the horizon nothing depends on the exact angle. */
    if (pdat->zenetr > 99.0f)
        pdat->zenetr = 99.0f;
    pdat->elevetr = 90.0f - pdat->zenetr;
}

static void ssha(struct posdata *pdat, const struct trigdata *tdat)
{
    float cdcl, cssha;

    cdcl = tdat->cd * tdat->cl;
    if (fabs(cdcl) >= 0.001) {
        cssha = -tdat->sl * tdat->sd / cdcl;
        if (cssha < -1.0f)
            pdat->ssha = 180.0f;
        else if (cssha > 1.0f)
            pdat->ssha = 0.0f;
        else
            pdat->ssha = (float)(DEG_PER_RAD * acos(cssha));
    } else if ((pdat->declin >= 0.0f && pdat->latitude > 0.0f)
               || (pdat->declin < 0.0f && pdat->latitude < 0.0f)) {
        /* At a pole: the sun circles above or below the horizon all day. */
        pdat->ssha = 180.0f;
    } else {
        pdat->ssha = 0.0f;
    }
}

/* Drummond's correction for the sky a shadow band hides from a pyranometer. */
static void sbcf(struct posdata *pdat, const struct trigdata *tdat)
{
    const float p = 0.6366198f * pdat->sbwid / pdat->sbrad * (float)pow(tdat->cd, 3);
    const float t1 = tdat->sl * tdat->sd * pdat->ssha * (float)RAD_PER_DEG;
    const float t2 = tdat->cl * tdat->cd * (float)sin(pdat->ssha * RAD_PER_DEG);

    pdat->sbcf = pdat->sbsky + 1.0f / (1.0f - p * (t1 + t2));
}

static void tst(struct posdata *pdat)
{
    pdat->tst = (180.0f + pdat->hrang) * 4.0f;
    pdat->tstfix = pdat->tst - (float)pdat->hour * 60.0f - pdat->minute - (float)pdat->second / 60.0f
        + (float)pdat->interval / 120.0f;

    while (pdat->tstfix > 720.0f)
        pdat->tstfix -= 1440.0f;
    while (pdat->tstfix < -720.0f)
        pdat->tstfix += 1440.0f;

    pdat->eqntim = pdat->tstfix + 60.0f * pdat->timezone - 4.0f * pdat->longitude;
}

static void srss(struct posdata *pdat)
{
    if (pdat->ssha <= 1.0f) {
        /* The sun does not rise. */
        pdat->sretr = 2999.0f;
        pdat->ssetr = -2999.0f;
    } else if (pdat->ssha >= 179.0f) {
        /* The sun does not set. */
        pdat->sretr = -2999.0f;
        pdat->ssetr = 2999.0f;
    } else {
        pdat->sretr = 720.0f - 4.0f * pdat->ssha - pdat->tstfix;
        pdat->ssetr = 720.0f + 4.0f * pdat->ssha - pdat->tstfix;
    }
}

static void sazm(struct posdata *pdat, const struct trigdata *tdat)
{
    const float ce = (float)cos(RAD_PER_DEG * pdat->elevetr);
    const float se = (float)sin(RAD_PER_DEG * pdat->elevetr);
    const float cecl = ce * tdat->cl;
    float ca;

    pdat->azim = 180.0f;
    if (fabs(cecl) >= 0.001) {
        ca = (se * tdat->sl - tdat->sd) / cecl;
        if (ca > 1.0f)
            ca = 1.0f;
        else if (ca < -1.0f)
            ca = -1.0f;
        pdat->azim = 180.0f - (float)(acos(ca) * DEG_PER_RAD);
        if (pdat->hrang > 0.0f)
            pdat->azim = 360.0f - pdat->azim;
    }
}

static void refrac(struct posdata *pdat)
{
    const float elev = pdat->elevetr;
    float refcor;

    if (elev > 85.0f) {
        refcor = 0.0f;
    } else {
        const float tanelev = (float)tan(RAD_PER_DEG * elev);
        float prestemp;

        if (elev >= 5.0f)
            refcor = 58.1f / tanelev - 0.07f / (float)pow(tanelev, 3) + 0.000086f / (float)pow(tanelev, 5);
        else if (elev >= -0.575f)
            refcor = 1735.0f + elev * (-518.2f + elev * (103.4f + elev * (-12.79f + elev * 0.711f)));
        else
            refcor = -20.774f / tanelev;

        /* Seconds of arc to degrees, scaled to the air's density. */
        prestemp = (pdat->press * 283.0f) / (1013.0f * (273.0f + pdat->temp));
        refcor *= prestemp / 3600.0f;
    }

    pdat->elevref = pdat->elevetr + refcor;
    if (pdat->elevref < -9.0f)
        pdat->elevref = -9.0f;
    pdat->zenref = 90.0f - pdat->elevref;
    pdat->coszen = (float)cos(RAD_PER_DEG * pdat->zenref);
}

/* Kasten's relative air mass. */
static void amass(struct posdata *pdat)
{
    if (pdat->zenref > 93.0f) {
        pdat->amass = -1.0f;
        pdat->ampress = -1.0f;
    } else {
        pdat->amass = 1.0f / ((float)cos(RAD_PER_DEG * pdat->zenref)
                              + 0.50572f * (float)pow(96.07995 - pdat->zenref, -1.6364));
        pdat->ampress = pdat->amass * pdat->press / 1013.0f;
    }
}

/* Perez's factor that removes the air-mass dependence of clearness indices. */
static void prime(struct posdata *pdat)
{
    pdat->unprime = 1.031f * (float)exp(-1.4 / (0.9 + 9.4 / pdat->amass)) + 0.1f;
    pdat->prime = 1.0f / pdat->unprime;
}

static void etr(struct posdata *pdat)
{
    if (pdat->coszen > 0.0f) {
        pdat->etrn = pdat->solcon * pdat->erv;
        pdat->etr = pdat->etrn * pdat->coszen;
    } else {
        pdat->etrn = 0.0f;
        pdat->etr = 0.0f;
    }
}

static void tilt(struct posdata *pdat)
{
    const float ca = (float)cos(RAD_PER_DEG * pdat->azim);
    const float cp = (float)cos(RAD_PER_DEG * pdat->aspect);
    const float ct = (float)cos(RAD_PER_DEG * pdat->tilt);
    const float sa = (float)sin(RAD_PER_DEG * pdat->azim);
    const float sp = (float)sin(RAD_PER_DEG * pdat->aspect);
    const float st = (float)sin(RAD_PER_DEG * pdat->tilt);
    const float sz = (float)sin(RAD_PER_DEG * pdat->zenref);

    pdat->cosinc = pdat->coszen * ct + sz * st * (ca * cp + sa * sp);
    pdat->etrtilt = pdat->cosinc > 0.0f ? pdat->etrn * pdat->cosinc : 0.0f;
}

long S_solpos(struct posdata *pdat)
{
    struct trigdata tdat = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    long code = validate(pdat);

    if (code)
        return code;

    if (pdat->function & L_DOY)
        doy2dom(pdat);
    else
        dom2doy(pdat);

    if (pdat->function & L_GEOM) {
        geometry(pdat);
        fill_trig(pdat, &tdat);
    }
    if (pdat->function & L_ZENETR)
        zen_no_ref(pdat, &tdat);
    if (pdat->function & L_SSHA)
        ssha(pdat, &tdat);
    if (pdat->function & L_SBCF)
        sbcf(pdat, &tdat);
    if (pdat->function & L_TST)
        tst(pdat);
    if (pdat->function & L_SRSS)
        srss(pdat);
    if (pdat->function & L_SOLAZM)
        sazm(pdat, &tdat);
    if (pdat->function & L_REFRAC)
        refrac(pdat);
    if (pdat->function & L_AMASS)
        amass(pdat);
    if (pdat->function & L_PRIME)
        prime(pdat);
    if (pdat->function & L_ETR)
        etr(pdat);
    if (pdat->function & L_TILT)
        tilt(pdat);

    return 0;
}

void S_init(struct posdata *pdat)
{
    pdat->day = -99;
    pdat->daynum = -999;
    pdat->hour = -99;
    pdat->minute = -99;
    pdat->month = -99;
    pdat->second = -99;
    pdat->year = -99;
    pdat->interval = 0;
    pdat->aspect = 180.0f;
    pdat->latitude = -99.0f;
    pdat->longitude = -999.0f;
    pdat->press = 1013.0f;
    pdat->solcon = 1367.0f;
    pdat->temp = 15.0f;
    pdat->tilt = 0.0f;
    pdat->timezone = -99.0f;
    pdat->sbwid = 7.6f;
    pdat->sbrad = 31.7f;
    pdat->sbsky = 0.04f;
    pdat->function = S_ALL;
}

void S_decode(long code, struct posdata *pdat)
{
    if (code & (1L << S_YEAR_ERROR))
        fprintf(stderr, "S_decode ==> Please fix the year: %d [1950-2050]\n", pdat->year);
    if (code & (1L << S_MONTH_ERROR))
        fprintf(stderr, "S_decode ==> Please fix the month: %d\n", pdat->month);
    if (code & (1L << S_DAY_ERROR))
        fprintf(stderr, "S_decode ==> Please fix the day-of-month: %d\n", pdat->day);
    if (code & (1L << S_DOY_ERROR))
        fprintf(stderr, "S_decode ==> Please fix the day-of-year: %d\n", pdat->daynum);
    if (code & (1L << S_HOUR_ERROR))
        fprintf(stderr, "S_decode ==> Please fix the hour: %d\n", pdat->hour);
    if (code & (1L << S_MINUTE_ERROR))
        fprintf(stderr, "S_decode ==> Please fix the minute: %d\n", pdat->minute);
    if (code & (1L << S_SECOND_ERROR))
        fprintf(stderr, "S_decode ==> Please fix the second: %d\n", pdat->second);
    if (code & (1L << S_TZONE_ERROR))
        fprintf(stderr, "S_decode ==> Please fix the time zone: %f\n", pdat->timezone);
    if (code & (1L << S_INTRVL_ERROR))
        fprintf(stderr, "S_decode ==> Please fix the interval: %d\n", pdat->interval);
    if (code & (1L << S_LAT_ERROR))
        fprintf(stderr, "S_decode ==> Please fix the latitude: %f\n", pdat->latitude);
    if (code & (1L << S_LON_ERROR))
        fprintf(stderr, "S_decode ==> Please fix the longitude: %f\n", pdat->longitude);
    if (code & (1L << S_TEMP_ERROR))
        fprintf(stderr, "S_decode ==> Please fix the temperature: %f\n", pdat->temp);
    if (code & (1L << S_PRESS_ERROR))
        fprintf(stderr, "S_decode ==> Please fix the pressure: %f\n", pdat->press);
    if (code & (1L << S_TILT_ERROR))
        fprintf(stderr, "S_decode ==> Please fix the tilt: %f\n", pdat->tilt);
    if (code & (1L << S_ASPECT_ERROR))
        fprintf(stderr, "S_decode ==> Please fix the aspect: %f\n", pdat->aspect);
    if (code & (1L << S_SBWID_ERROR))
        fprintf(stderr, "S_decode ==> Please fix the shadowband width: %f\n", pdat->sbwid);
    if (code & (1L << S_SBRAD_ERROR))
        fprintf(stderr, "S_decode ==> Please fix the shadowband radius: %f\n", pdat->sbrad);
    if (code & (1L << S_SBSKY_ERROR))
        fprintf(stderr, "S_decode ==> Please fix the shadowband sky factor: %f\n", pdat->sbsky);
}
