// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

/*
 * Solar position after NREL's SOLPOS 2.0: the position of the sun, sunrise and
 * sunset for a place and moment, with the library's published C interface.
 * Plain C, usable from C and C++.
 */
#ifndef HALVANE_SOLPOS_H
#define HALVANE_SOLPOS_H

#ifdef __cplusplus
extern "C" {
#endif

/* Single-function masks: one bit per step of the computation. */
#define L_DOY    0x0001
#define L_GEOM   0x0002
#define L_ZENETR 0x0004
#define L_SSHA   0x0008
#define L_SBCF   0x0010
#define L_TST    0x0020
#define L_SRSS   0x0040
#define L_SOLAZM 0x0080
#define L_REFRAC 0x0100
#define L_AMASS  0x0200
#define L_PRIME  0x0400
#define L_TILT   0x0800
#define L_ETR    0x1000
#define L_ALL    0xFFFF

/* Function switches: a step together with every step it needs. S_DOY set means
   the date comes as year and day of the year; otherwise as year, month, day. */
#define S_DOY    (L_DOY)
#define S_GEOM   (L_GEOM | S_DOY)
#define S_ZENETR (L_ZENETR | S_GEOM)
#define S_SSHA   (L_SSHA | S_GEOM)
#define S_SBCF   (L_SBCF | S_SSHA)
#define S_TST    (L_TST | S_GEOM)
#define S_SRSS   (L_SRSS | S_SSHA | S_TST)
#define S_SOLAZM (L_SOLAZM | S_ZENETR)
#define S_REFRAC (L_REFRAC | S_ZENETR)
#define S_AMASS  (L_AMASS | S_REFRAC)
#define S_PRIME  (L_PRIME | S_AMASS)
#define S_TILT   (L_TILT | S_SOLAZM | S_REFRAC)
#define S_ETR    (L_ETR | S_REFRAC)
#define S_ALL    (L_ALL)

/* Bit positions of the input errors in the result of S_solpos. */
enum {
    S_YEAR_ERROR,
    S_MONTH_ERROR,
    S_DAY_ERROR,
    S_DOY_ERROR,
    S_HOUR_ERROR,
    S_MINUTE_ERROR,
    S_SECOND_ERROR,
    S_TZONE_ERROR,
    S_INTRVL_ERROR,
    S_LAT_ERROR,
    S_LON_ERROR,
    S_TEMP_ERROR,
    S_PRESS_ERROR,
    S_TILT_ERROR,
    S_ASPECT_ERROR,
    S_SBWID_ERROR,
    S_SBRAD_ERROR,
    S_SBSKY_ERROR
};

struct posdata
{
    /* integers */
    int day;      /* day of the month (input, or output with S_DOY) */
    int daynum;   /* day of the year (input with S_DOY, else output) */
    int function; /* switches selecting the outputs */
    int hour;     /* local standard time, 0-24 */
    int interval; /* measurement interval in seconds; 0 for an instant */
    int minute;
    int month;    /* (input, or output with S_DOY) */
    int second;
    int year;     /* 1950-2050 */

    /* floats */
    float amass;     /* relative optical air mass */
    float ampress;   /* pressure-corrected air mass */
    float aspect;    /* azimuth of the panel surface, degrees clockwise from north */
    float azim;      /* solar azimuth, degrees clockwise from north */
    float cosinc;    /* cosine of the angle of incidence on the panel */
    float coszen;    /* cosine of the refracted zenith angle */
    float dayang;    /* day angle, degrees */
    float declin;    /* declination, degrees */
    float eclong;    /* ecliptic longitude, degrees */
    float ecobli;    /* obliquity of the ecliptic, degrees */
    float ectime;    /* days since the J2000.0 epoch */
    float elevetr;   /* elevation without refraction, degrees */
    float elevref;   /* elevation with refraction, degrees */
    float eqntim;    /* equation of time, minutes */
    float erv;       /* earth radius vector factor */
    float etr;       /* extraterrestrial horizontal irradiance, W/m2 */
    float etrn;      /* extraterrestrial direct normal irradiance, W/m2 */
    float etrtilt;   /* extraterrestrial irradiance on the panel, W/m2 */
    float gmst;      /* Greenwich mean sidereal time, hours */
    float hrang;     /* hour angle, degrees (morning negative) */
    float julday;    /* Julian day minus 2,400,000 */
    float latitude;  /* degrees, north positive */
    float longitude; /* degrees, east positive */
    float lmst;      /* local mean sidereal time, degrees */
    float mnanom;    /* mean anomaly, degrees */
    float mnlong;    /* mean longitude, degrees */
    float rascen;    /* right ascension, degrees */
    float press;     /* surface pressure, millibars */
    float prime;     /* factor that normalises Kt, Kn and the like */
    float sbcf;      /* shadow-band correction factor */
    float sbwid;     /* shadow-band width, cm */
    float sbrad;     /* shadow-band radius, cm */
    float sbsky;     /* shadow-band sky factor */
    float solcon;    /* solar constant, W/m2 */
    float ssha;      /* sunset hour angle, degrees */
    float sretr;     /* sunrise without refraction, minutes from local midnight */
    float ssetr;     /* sunset without refraction, minutes from local midnight */
    float temp;      /* ambient temperature, degrees C */
    float tilt;      /* panel tilt from the horizontal, degrees */
    float timezone;  /* hours east of Greenwich; no daylight saving */
    float tst;       /* true solar time, minutes from midnight */
    float tstfix;    /* true solar time minus local standard time, minutes */
    float unprime;   /* inverse of prime */
    float utime;     /* universal time, hours */
    float zenetr;    /* zenith angle without refraction, degrees */
    float zenref;    /* zenith angle with refraction, degrees */
};

/* Computes the outputs selected by pdat->function; 0, or one bit per input out of range. */
long S_solpos(struct posdata *pdat);
/* Fills the record with the starting values. */
void S_init(struct posdata *pdat);
/* Prints one message to standard error for every error bit in code. */
void S_decode(long code, struct posdata *pdat);

#ifdef __cplusplus
}
#endif

#endif /* HALVANE_SOLPOS_H */
